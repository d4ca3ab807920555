#include "texts.h"

#include <array>
#include <cstdlib>
#include <string>

namespace obnet {

namespace {

struct Row {
  Text id;
  std::string_view english, spanish, french, portuguese;
};

constexpr Row kRows[] = {
    {Text::Caption, "OB Packet Data", "OB Packet Data", "OB Packet Data", "OB Packet Data"},
    {Text::ButtonBack, "< &Back", "< &Atrás", "< &Précédent", "< &Voltar"},
    {Text::ButtonNext, "&Next >", "&Siguiente >", "&Suivant >", "&Avançar >"},
    {Text::ButtonFinish, "Finish", "Finalizar", "Terminer", "Concluir"},
    {Text::ButtonCancel, "Cancel", "Cancelar", "Annuler", "Cancelar"},
    {Text::WelcomeTitle,
     "Welcome to the OB Packet Data setup wizard",
     "Bienvenido al asistente de instalación de OB Packet Data",
     "Bienvenue dans l'assistant d'installation de OB Packet Data",
     "Bem-vindo ao assistente de instalação do OB Packet Data"},
    {Text::WelcomeDescription,
     "This wizard prepares your computer to use your UT as a wireless modem for the packet "
     "data service. It shows you how to connect the UT to the computer, checks the modem "
     "port and creates the dial-up connection \"OB Packet Data\".",
     "Este asistente prepara su computadora para usar su UT como módem inalámbrico del "
     "servicio de datos por paquetes. Le muestra cómo conectar el UT a la computadora, "
     "comprueba el puerto del módem y crea la conexión de acceso telefónico \"OB Packet Data\".",
     "Cet assistant prépare votre ordinateur à utiliser votre UT comme modem sans fil pour "
     "le service de données par paquets. Il vous montre comment relier l'UT à l'ordinateur, "
     "vérifie le port du modem et crée la connexion d'accès à distance \"OB Packet Data\".",
     "Este assistente prepara o seu computador para usar o seu UT como modem sem fio do "
     "serviço de dados por pacotes. Ele mostra como conectar o UT ao computador, verifica a "
     "porta do modem e cria a conexão discada \"OB Packet Data\"."},
    {Text::WelcomeBegin, "To begin, click Next.", "Para comenzar, haga clic en Siguiente.",
     "Pour commencer, cliquez sur Suivant.", "Para começar, clique em Avançar."},
    {Text::LicenseHeading, "License Agreement", "Contrato de licencia", "Contrat de licence",
     "Contrato de licença"},
    {Text::LicenseTermsStart,
     "Please read the following license agreement carefully.\n\n"
     "1. The software that this wizard installs is licensed, not sold, for use with your UT "
     "and the packet data service.\n"
     "2. You may use it on any computer that you connect to your UT. You may not modify, "
     "rent or lend it.\n",
     "Lea atentamente el siguiente contrato de licencia.\n\n"
     "1. El software que instala este asistente se concede bajo licencia, no se vende, para "
     "su uso con su UT y el servicio de datos por paquetes.\n"
     "2. Puede usarlo en cualquier computadora que conecte a su UT. No puede modificarlo, "
     "alquilarlo ni prestarlo.\n",
     "Veuillez lire attentivement le contrat de licence suivant.\n\n"
     "1. Le logiciel que cet assistant installe est concédé sous licence, et non vendu, pour "
     "être utilisé avec votre UT et le service de données par paquets.\n"
     "2. Vous pouvez l'utiliser sur tout ordinateur que vous reliez à votre UT. Vous ne "
     "pouvez ni le modifier, ni le louer, ni le prêter.\n",
     "Leia com atenção o contrato de licença a seguir.\n\n"
     "1. O software que este assistente instala é licenciado, não vendido, para uso com o "
     "seu UT e o serviço de dados por pacotes.\n"
     "2. Você pode usá-lo em qualquer computador que conectar ao seu UT. Você não pode "
     "modificá-lo, alugá-lo ou emprestá-lo.\n"},
    {Text::LicenseTermsEnd,
     "3. The packet data service is billed according to your service plan.\n"
     "4. The software is provided as is, without warranty of any kind, to the extent the law "
     "allows.\n\n"
     "If you accept the terms, click Yes. If you do not, click No and the wizard ends.",
     "3. El servicio de datos por paquetes se factura según su plan de servicio.\n"
     "4. El software se entrega tal cual, sin garantía de ningún tipo, en la medida en que "
     "la ley lo permita.\n\n"
     "Si acepta los términos, haga clic en Sí. Si no los acepta, haga clic en No y el "
     "asistente terminará.",
     "3. Le service de données par paquets est facturé selon votre forfait.\n"
     "4. Le logiciel est fourni tel quel, sans garantie d'aucune sorte, dans la mesure "
     "permise par la loi.\n\n"
     "Si vous acceptez les termes, cliquez sur Oui. Sinon, cliquez sur Non et l'assistant "
     "se termine.",
     "3. O serviço de dados por pacotes é cobrado de acordo com o seu plano de serviço.\n"
     "4. O software é fornecido no estado em que se encontra, sem garantia de qualquer "
     "tipo, na medida permitida por lei.\n\n"
     "Se você aceita os termos, clique em Sim. Se não aceita, clique em Não e o assistente "
     "termina."},
    {Text::LicensePrompt, "Do you accept the terms of the license agreement?",
     "¿Acepta los términos del contrato de licencia?",
     "Acceptez-vous les termes du contrat de licence ?",
     "Você aceita os termos do contrato de licença?"},
    {Text::Yes, "Yes", "Sí", "Oui", "Sim"},
    {Text::No, "No", "No", "Non", "Não"},
    {Text::PhoneHeading, "Connecting the UT", "Conexión del UT", "Branchement de l'UT",
     "Conexão do UT"},
    {Text::PhoneSteps,
     "1. Switch the UT off.\n"
     "2. Plug the UT's data cable into the data connector at the bottom of the UT.\n"
     "3. Plug the other end of the cable into a serial or USB port of the computer.\n"
     "4. Switch the UT on and wait until it shows that it has found the network.\n\n"
     "When the UT is connected, click Next.",
     "1. Apague el UT.\n"
     "2. Conecte el cable de datos del UT al conector de datos de la parte inferior del UT.\n"
     "3. Conecte el otro extremo del cable a un puerto serie o USB de la computadora.\n"
     "4. Encienda el UT y espere hasta que indique que ha encontrado la red.\n\n"
     "Cuando el UT esté conectado, haga clic en Siguiente.",
     "1. Éteignez l'UT.\n"
     "2. Branchez le câble de données de l'UT sur le connecteur de données situé sous l'UT.\n"
     "3. Branchez l'autre extrémité du câble sur un port série ou USB de l'ordinateur.\n"
     "4. Allumez l'UT et attendez qu'il indique qu'il a trouvé le réseau.\n\n"
     "Lorsque l'UT est branché, cliquez sur Suivant.",
     "1. Desligue o UT.\n"
     "2. Conecte o cabo de dados do UT ao conector de dados na parte inferior do UT.\n"
     "3. Conecte a outra ponta do cabo a uma porta serial ou USB do computador.\n"
     "4. Ligue o UT e aguarde até que ele indique que encontrou a rede.\n\n"
     "Quando o UT estiver conectado, clique em Avançar."},
    {Text::ModemHeading, "Modem Installation", "Instalación del módem", "Installation du modem",
     "Instalação do modem"},
    {Text::ModemInstructions,
     "Choose the serial port that the UT's data cable is connected to, then click Check Modem "
     "Port. When the port can be opened, click Next.",
     "Elija el puerto serie al que está conectado el cable de datos del UT y haga clic en "
     "Comprobar puerto del módem. Cuando el puerto pueda abrirse, haga clic en Siguiente.",
     "Choisissez le port série sur lequel le câble de données de l'UT est branché, puis "
     "cliquez sur Vérifier le port du modem. Lorsque le port peut être ouvert, cliquez sur "
     "Suivant.",
     "Escolha a porta serial à qual o cabo de dados do UT está conectado e clique em Verificar "
     "porta do modem. Quando a porta puder ser aberta, clique em Avançar."},
    {Text::ModemPortLabel, "Modem port:", "Puerto del módem:", "Port du modem :",
     "Porta do modem:"},
    {Text::CheckModemPort, "Check Modem Port", "Comprobar puerto del módem",
     "Vérifier le port du modem", "Verificar porta do modem"},
    {Text::BeginModemInstall, "Begin Modem Install", "Iniciar instalación del módem",
     "Commencer l'installation du modem", "Iniciar instalação do modem"},
    {Text::PortOpens, "%1 can be opened. Click Next to continue.",
     "%1 puede abrirse. Haga clic en Siguiente para continuar.",
     "%1 peut être ouvert. Cliquez sur Suivant pour continuer.",
     "%1 pode ser aberta. Clique em Avançar para continuar."},
    {Text::NoPortFound,
     "No serial port was found. Connect the UT's data cable to the computer, then click Check "
     "Modem Port again.",
     "No se encontró ningún puerto serie. Conecte el cable de datos del UT a la computadora y "
     "vuelva a hacer clic en Comprobar puerto del módem.",
     "Aucun port série n'a été trouvé. Branchez le câble de données de l'UT sur l'ordinateur, "
     "puis cliquez à nouveau sur Vérifier le port du modem.",
     "Nenhuma porta serial foi encontrada. Conecte o cabo de dados do UT ao computador e "
     "clique novamente em Verificar porta do modem."},
    {Text::PortDenied,
     "You are not allowed to open %1. Add yourself to the %2 group with the command\n"
     "sudo usermod -aG %2 $USER\n"
     "then log out, log in again and start this wizard again.",
     "No tiene permiso para abrir %1. Agréguese al grupo %2 con el comando\n"
     "sudo usermod -aG %2 $USER\n"
     "luego cierre la sesión, vuelva a iniciarla e inicie de nuevo este asistente.",
     "Vous n'avez pas le droit d'ouvrir %1. Ajoutez-vous au groupe %2 avec la commande\n"
     "sudo usermod -aG %2 $USER\n"
     "puis fermez la session, rouvrez-la et relancez cet assistant.",
     "Você não tem permissão para abrir %1. Adicione-se ao grupo %2 com o comando\n"
     "sudo usermod -aG %2 $USER\n"
     "depois encerre a sessão, entre novamente e inicie este assistente outra vez."},
    {Text::PortMissing,
     "%1 has no device behind it. Check that the UT's data cable is plugged in and the UT is "
     "on, then click Check Modem Port again.",
     "%1 no tiene ningún dispositivo detrás. Compruebe que el cable de datos del UT esté "
     "conectado y el UT encendido, y vuelva a hacer clic en Comprobar puerto del módem.",
     "Aucun appareil n'est relié à %1. Vérifiez que le câble de données de l'UT est branché et "
     "que l'UT est allumé, puis cliquez à nouveau sur Vérifier le port du modem.",
     "%1 não tem nenhum dispositivo conectado. Verifique se o cabo de dados do UT está "
     "conectado e o UT ligado e clique novamente em Verificar porta do modem."},
    {Text::PortBusy,
     "%1 is in use by another program. Close that program, then click Check Modem Port again.",
     "%1 está siendo usado por otro programa. Cierre ese programa y vuelva a hacer clic en "
     "Comprobar puerto del módem.",
     "%1 est utilisé par un autre programme. Fermez ce programme, puis cliquez à nouveau sur "
     "Vérifier le port du modem.",
     "%1 está em uso por outro programa. Feche esse programa e clique novamente em Verificar "
     "porta do modem."},
    {Text::PortOtherError, "%1 cannot be opened: %2.", "No se puede abrir %1: %2.",
     "Impossible d'ouvrir %1 : %2.", "Não é possível abrir %1: %2."},
    {Text::NotAvailable,
     "The installation wizard is not available on this platform. To configure your computer, "
     "see the User Guide for instructions.",
     "El asistente de instalación no está disponible en esta plataforma. Para configurar su "
     "computadora, consulte las instrucciones de la Guía del usuario.",
     "L'assistant d'installation n'est pas disponible sur cette plate-forme. Pour configurer "
     "votre ordinateur, reportez-vous aux instructions du Guide de l'utilisateur.",
     "O assistente de instalação não está disponível nesta plataforma. Para configurar o seu "
     "computador, consulte as instruções do Guia do Usuário."},
    {Text::DunCaption, "Dial-Up Networking Connection", "Conexión de acceso telefónico a redes",
     "Connexion d'accès réseau à distance", "Conexão de rede dial-up"},
    {Text::DunIntro,
     "Click Finish to create the dial-up connection \"OB Packet Data\" for the UT.",
     "Haga clic en Finalizar para crear la conexión de acceso telefónico \"OB Packet Data\" "
     "para el UT.",
     "Cliquez sur Terminer pour créer la connexion d'accès à distance \"OB Packet Data\" pour "
     "l'UT.",
     "Clique em Concluir para criar a conexão discada \"OB Packet Data\" para o UT."},
    {Text::IpAddress, "IP Address", "Dirección IP", "Adresse IP", "Endereço IP"},
    {Text::PrimaryDns, "Primary DNS", "DNS principal", "DNS principal", "DNS primário"},
    {Text::SecondaryDns, "Secondary DNS", "DNS secundario", "DNS secondaire", "DNS secundário"},
    {Text::DunDnsHelp,
     "To use name servers of your own, enter both addresses. Leave the fields empty to have "
     "the server assign the name servers.",
     "Para usar sus propios servidores de nombres, escriba ambas direcciones. Deje los campos "
     "vacíos para que el servidor los asigne.",
     "Pour utiliser vos propres serveurs de noms, saisissez les deux adresses. Laissez les "
     "champs vides pour que le serveur les attribue.",
     "Para usar seus próprios servidores de nomes, digite os dois endereços. Deixe os campos "
     "vazios para que o servidor os atribua."},
    {Text::DunPortLabel, "COM port:", "Puerto COM:", "Port COM :", "Porta COM:"},
    {Text::DunHowToStart,
     "No restart is needed. Afterwards, start the connection with the command\n"
     "pon ob-packet-data   (or: pppd call ob-packet-data)\n"
     "and end it with poff ob-packet-data.",
     "No es necesario reiniciar. Después, inicie la conexión con el comando\n"
     "pon ob-packet-data   (o: pppd call ob-packet-data)\n"
     "y termínela con poff ob-packet-data.",
     "Aucun redémarrage n'est nécessaire. Ensuite, démarrez la connexion avec la commande\n"
     "pon ob-packet-data   (ou : pppd call ob-packet-data)\n"
     "et arrêtez-la avec poff ob-packet-data.",
     "Não é necessário reiniciar. Depois, inicie a conexão com o comando\n"
     "pon ob-packet-data   (ou: pppd call ob-packet-data)\n"
     "e encerre-a com poff ob-packet-data."},
    {Text::WriteFailed,
     "A problem occurred while setting up the Dial-up Networking connection.  See the User "
     "Guide for instructions on how to set it up manually.",
     "Se produjo un problema al configurar la conexión de acceso telefónico a redes.  "
     "Consulte en la Guía del usuario cómo configurarla manualmente.",
     "Un problème est survenu lors de la configuration de la connexion d'accès réseau à "
     "distance.  Reportez-vous au Guide de l'utilisateur pour la configurer manuellement.",
     "Ocorreu um problema ao configurar a conexão de rede dial-up.  Consulte o Guia do "
     "Usuário para saber como configurá-la manualmente."},
    {Text::Written,
     "The dial-up connection \"OB Packet Data\" is ready (%1). Start it with the command\n"
     "pon ob-packet-data",
     "La conexión de acceso telefónico \"OB Packet Data\" está lista (%1). Iníciela con el "
     "comando\npon ob-packet-data",
     "La connexion d'accès à distance \"OB Packet Data\" est prête (%1). Démarrez-la avec la "
     "commande\npon ob-packet-data",
     "A conexão discada \"OB Packet Data\" está pronta (%1). Inicie-a com o comando\n"
     "pon ob-packet-data"},
    {Text::Staged,
     "You are not allowed to change the system's dial-up connections, so the files of "
     "\"OB Packet Data\" were prepared in %1. To put them in place, run:\n\n%2",
     "No tiene permiso para cambiar las conexiones de acceso telefónico del sistema, así que "
     "los archivos de \"OB Packet Data\" se prepararon en %1. Para instalarlos, ejecute:\n\n%2",
     "Vous n'avez pas le droit de modifier les connexions d'accès à distance du système : les "
     "fichiers de \"OB Packet Data\" ont été préparés dans %1. Pour les mettre en place, "
     "exécutez :\n\n%2",
     "Você não tem permissão para alterar as conexões discadas do sistema; por isso os "
     "arquivos de \"OB Packet Data\" foram preparados em %1. Para instalá-los, execute:\n\n%2"},
    {Text::RestartNeeded, "Restart the computer to use the new connection.",
     "Reinicie la computadora para usar la nueva conexión.",
     "Redémarrez l'ordinateur pour utiliser la nouvelle connexion.",
     "Reinicie o computador para usar a nova conexão."},
    {Text::DnsUnusable,
     "The name server %1 cannot be used: 255 in the first part is no server address. Correct "
     "the address, or leave the fields empty to have the server assign the name servers.",
     "El servidor de nombres %1 no se puede usar: 255 en la primera parte no es una dirección "
     "de servidor. Corrija la dirección o deje los campos vacíos para que el servidor asigne "
     "los servidores de nombres.",
     "Le serveur de noms %1 est inutilisable : 255 dans la première partie n'est pas une "
     "adresse de serveur. Corrigez l'adresse, ou laissez les champs vides pour que le serveur "
     "attribue les serveurs de noms.",
     "O servidor de nomes %1 não pode ser usado: 255 na primeira parte não é um endereço de "
     "servidor. Corrija o endereço ou deixe os campos vazios para que o servidor atribua os "
     "servidores de nomes."},
};

constexpr bool rowsInOrder() {
  if (std::size(kRows) != static_cast<std::size_t>(Text::Count)) return false;
  for (std::size_t i = 0; i < std::size(kRows); ++i)
    if (static_cast<std::size_t>(kRows[i].id) != i) return false;
  return true;
}
static_assert(rowsInOrder(), "one row per text, in the order of the Text enumeration");

}  // namespace

Language languageOfLocale(std::string_view locale) {
  if (locale.starts_with("es")) return Language::Spanish;
  if (locale.starts_with("fr_FR")) return Language::French;
  if (locale.starts_with("pt")) return Language::Portuguese;
  return Language::English;
}

Language userLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return languageOfLocale(value);
  }
  return Language::English;
}

std::string_view text(Language language, Text id) {
  const Row& row = kRows[static_cast<std::size_t>(id)];
  switch (language) {
    case Language::Spanish: return row.spanish;
    case Language::French: return row.french;
    case Language::Portuguese: return row.portuguese;
    case Language::English: break;
  }
  return row.english;
}

}  // namespace obnet
