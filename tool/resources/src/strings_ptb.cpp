// The Portuguese (Brazil) texts of libVEXResPTB.so, one row per string number.
#include "string_table.h"

namespace vx::res {
namespace {

constexpr StringRow kRows[] = {
    // Main window
    {130, "Ferramenta de serviço UTVEX"},

    // Connecting
    {61204, "Conectando à nova UT. Aguarde..."},
    {61216, "Não foi possível criar o objeto de conexão."},
    {61217, "Não foi possível passar o nome da porta à conexão."},
    {61218, "Não foi possível definir o tempo limite ou a taxa de transmissão."},
    {61219, "Não foi possível iniciar a conexão com a UT."},
    {61592, "Não foi possível iniciar o servidor de enlace para esta porta. Verifique se a porta existe e se "
        "nenhum outro programa a está usando."},

    // UT checks before a settings window opens
    {61227, "Nenhuma sessão de UT está aberta."},
    {61228, "A UT antiga não está conectada."},
    {61229, "Não há conexão com nenhuma UT."},
    {61230, "A conexão não oferece os dados de versão da UT."},
    {61231, "Não foi possível ler os dados de versão da UT (erro 0x%08X)."},
    {61274, "Não foi possível ler o modelo da UT (erro 0x%08X)."},
    {61275, "A ferramenta não conhece este modelo de UT; suas configurações não podem ser exibidas."},
    {61428, "Os dados de versão da UT antiga não estão disponíveis."},
    {61560, "Não foi possível atualizar os dados de versão da UT antiga."},

    // UT record fields
    {61238, "ESN"},
    {61239, "Modelo"},
    {61240, "Versão do software"},
    {61241, "Código de data de garantia"},
    {61427, "Data\tHora\tESN\tModelo\tVersão do software\tVersão do hardware\tVersão do firmware DSP\tData de "
        "calibração\tData de programação de serviço\tCódigo de data de garantia"},
    {61598, "Data"},
    {61599, "Hora"},
    {61600, "Versão do hardware"},
    {61601, "Versão do firmware DSP"},
    {61602, "Data de calibração"},
    {61603, "Data de programação de serviço"},

    // Settings window
    {61250, "Configurações da UT"},
    {61253, "A UT não respondeu à solicitação (erro 0x%08X)."},
    {61254, "NAM celular 2"},
    {61452, "A conexão com a UT foi perdida. A janela de configurações será fechada."},

    // Default port names, chosen by the stored port number 1 to 4
    {61259, "COM1"},
    {61260, "COM2"},
    {61261, "COM3"},
    {61262, "COM4"},

    // Writing changes to the UT
    {61294, "As alterações foram gravadas na UT."},
    {61295, "A conexão não oferece acesso às configurações da UT."},
    {61296, "Não foi possível gravar as alterações na UT (erro 0x%08X)."},
    {61298, "O objeto de configurações não oferece as configurações gerais."},
    {61413, "Gravando as alterações na UT. Aguarde..."},
    {61486, "Há alterações que não foram gravadas na UT. Desconectar mesmo assim?"},

    // Call timers
    {61300, "Não é possível ler os temporizadores de chamadas desta UT (erro 0x%08X)."},
    {61301, "A UT contém um valor que a ferramenta não conhece: %s"},
    {61414, "Uma unidade analógica fixa não mantém temporizadores de chamadas."},

    // Names of the stored settings (the same in every language, so that a change of language keeps them)
    {61304, "UTVEX"},
    {61307, "PortNumber"},
    {61308, "BaudRate"},
    {61311, "Timeout"},
    {61312, "SaveCopyOnSwap"},
    {61313, "WindowLeft"},
    {61314, "WindowTop"},
    {61315, "WindowWidth"},
    {61316, "WindowHeight"},
    {61418, "AppendRecordAfterWrite"},
    {61419, "RecordLogFile"},
    {61451, "WindowMaximized"},
    {61482, "SettingsFile"},
    {61483, "SettingsFolder"},
    {61489, "ShowStartupDialog"},
    {61491, "ShowToolbar"},
    {61572, "DownloadFolder"},
    {61590, "PortName"},

    // File dialogs (filters in the file dialog's "Name (patterns);;..." form)
    {61318, "Selecione o arquivo de software a ser baixado"},
    {61319, "Arquivos de software (*.hex *.gz);;Todos os arquivos (*)"},
    {61328, "Salvar configurações da UT como"},
    {61329, "Arquivos de configurações de UT (*.vex);;Todos os arquivos (*)"},
    {61330, "Restaurar configurações da UT"},
    {61331, "Arquivos de configurações de UT (*.vex);;Todos os arquivos (*)"},
    {61504, "vex"},

    // Saving and restoring settings
    {61420, "Não foi possível salvar as configurações; o arquivo foi excluído."},
    {61421, "As configurações foram salvas."},
    {61423, "Não foi possível restaurar as configurações. A conexão será encerrada."},
    {61424, "O arquivo não é um arquivo de configurações de UT ou não pode ser lido."},
    {61432, "As configurações foram restauradas na ferramenta. Grave-as na UT com Gravar alterações. Deseja ver o "
        "relatório?"},
    {61455, "Não foi possível processar o arquivo de configurações. Ele pode estar danificado ou pertencer a outro "
        "tipo de UT."},
    {61481, "Salvando as configurações em "},
    {61484, "Restaurando as configurações de "},
    {61487, "Há alterações que não foram gravadas na UT; restaurar as configurações as substitui. Continuar?"},
    {61553, "As configurações foram salvas, mas a conexão com a UT foi perdida."},
    {61554, "As configurações foram restauradas, mas a conexão com a UT foi perdida."},

    // Swap phone
    {61332, "Não foi possível salvar a cópia das configurações da UT antiga."},
    {61352, "Não foi possível gravar as configurações na nova UT."},
    {61434, "Salvando as configurações da UT antiga. Aguarde..."},
    {61435, "As configurações foram transferidas para a nova UT."},
    {61438, "Gravando as configurações na nova UT. Aguarde..."},
    {61439, "Não foi possível criar um arquivo temporário."},
    {61440, "As configurações foram gravadas na nova UT. Deseja ver o relatório?"},
    {61471, "A conexão com a UT antiga foi perdida."},

    // Pages, menus and dialogs of the service tool
    {61360, "Geral"},
    {61361, "Sons"},
    {61362, "Recursos"},
    {61363, "Segurança e alertas"},
    {61364, "Provedores de serviço"},
    {61365, "Agenda"},
    {61366, "NAM celular 1"},
    {61367, "NAM satelital"},
    {61368, "Manutenção"},
    {61369, "Unidade fixa"},
    {61370, "&Arquivo"},
    {61371, "&UT"},
    {61372, "&Exibir"},
    {61373, "A&juda"},
    {61374, "&Conectar"},
    {61375, "&Desconectar"},
    {61376, "Con&figurar UT..."},
    {61377, "&Gravar alterações na UT"},
    {61378, "&Salvar configurações"},
    {61379, "Salvar configurações c&omo..."},
    {61380, "&Restaurar configurações..."},
    {61381, "&Trocar telefone..."},
    {61382, "&Baixar software..."},
    {61383, "Te&mporizadores de chamadas..."},
    {61384, "Acrescentar &registro da UT"},
    {61385, "&Barra de ferramentas"},
    {61386, "&Opções..."},
    {61387, "Configurações de co&nexão..."},
    {61388, "&Sobre o UTVEX..."},
    {61389, "Sai&r"},
    {61390, "Trocar telefone"},
    {61391, "Conecte a UT antiga e clique em Avançar. As configurações serão salvas para a nova UT."},
    {61392, "Clique em Avançar para salvar uma cópia das configurações da UT antiga no arquivo de sua escolha."},
    {61393, "Desconecte a UT antiga, conecte a nova UT à mesma porta e clique em Concluir."},
    {61394, "Conectado a %s"},
    {61395, "Não conectado"},
    {61396, "Relatório"},
    {61397, "Download de software"},
    {61398, "Arquivo de registros"},
    {61399, "Acrescentar um registro da UT após gravar as alterações"},

    // Software download
    {61479, "O arquivo não parece ser um arquivo de software válido. Baixá-lo mesmo assim?"},
    {61523, "Enviando o programa carregador..."},
    {61524, "Enviando o software..."},
    {61525, "Enviando o programa de RAM..."},
    {61529, "Tempo restante: %d min %d s"},
    {61530, "Tempo restante: %d s"},
    {61533, "Cancelar o download? A UT pode ficar sem software funcional até que ele seja baixado novamente."},
    {61534, "Cancelando o download..."},
    {61535, "Bytes restantes: %u"},
    {61536, "%d%% concluído"},
    {61550, "Enviando o bloco de inicialização..."},
    {61583, "Não é possível abrir o arquivo."},
    {61584, "O arquivo não é um arquivo de software válido."},
    {61585, "O arquivo não é um arquivo de bloco de inicialização válido."},
    {61586, "O programa carregador não está na biblioteca de recursos."},
    {61587, "Uma etapa da transferência Xmodem falhou."},
    {61588, "A conexão não forneceu um identificador de enlace para o download."},

    // Script object
    {61271, "O código de programação de serviço foi recusado. Ele deve ter de 1 a 6 dígitos decimais e coincidir "
        "com o da UT."},
    {61444, "Objeto de script UTVEX 1.0"},
    {61573, "Não foi possível processar o arquivo de configurações."},
    {61574, "Não foi possível atualizar os dados de versão da UT."},
    {61575, "Não foi possível ler ou gravar a configuração, ou esta UT não a possui."},
    {61576, "A UT não está conectada."},
    {61577, "Já existe uma conexão aberta ou em andamento. Desconecte primeiro."},
    {61578, "A porta está reservada por outro programa que a usa com exclusividade."},
    {61579, "Não foi possível iniciar o enlace com a UT."},
    {61580, "Não foi possível concluir a conexão com a UT."},
    {61581, "A UT informou uma taxa dos serviços de dados desconhecida."},
    {61582, "Não foi possível concluir a conexão com a UT, nem mesmo após uma nova tentativa."},
    {61589, "Falta a um componente uma interface necessária."},
};
static_assert(rowsUnique(kRows));

}  // namespace

extern const LanguageTable kLanguageTable{"PTB", kRows};

}  // namespace vx::res
