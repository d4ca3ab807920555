// The French (France) texts of libVEXResFRA.so, one row per string number.
#include "string_table.h"

namespace vx::res {
namespace {

constexpr StringRow kRows[] = {
    // Main window
    {130, "Outil de maintenance UTVEX"},

    // Connecting
    {61204, "Connexion à la nouvelle UT. Veuillez patienter..."},
    {61216, "Impossible de créer l'objet de connexion."},
    {61217, "Impossible de transmettre le nom du port à la connexion."},
    {61218, "Impossible de régler le délai d'attente ou le débit en bauds."},
    {61219, "Impossible de démarrer la connexion à l'UT."},
    {61592, "Impossible de démarrer le serveur de liaison pour ce port. Vérifiez que le port existe et qu'aucun "
        "autre programme ne l'utilise."},

    // UT checks before a settings window opens
    {61227, "Aucune session UT n'est ouverte."},
    {61228, "L'ancienne UT n'est pas connectée."},
    {61229, "Il n'y a aucune connexion à une UT."},
    {61230, "La connexion ne fournit pas les données de version de l'UT."},
    {61231, "Impossible de lire les données de version de l'UT (erreur 0x%08X)."},
    {61274, "Impossible de lire le modèle de l'UT (erreur 0x%08X)."},
    {61275, "Ce modèle d'UT est inconnu de l'outil ; ses paramètres ne peuvent pas être affichés."},
    {61428, "Les données de version de l'ancienne UT ne sont pas disponibles."},
    {61560, "Impossible d'actualiser les données de version de l'ancienne UT."},

    // UT record fields
    {61238, "ESN"},
    {61239, "Modèle"},
    {61240, "Version du logiciel"},
    {61241, "Code de date de garantie"},
    {61427, "Date\tHeure\tESN\tModèle\tVersion du logiciel\tVersion du matériel\tVersion du micrologiciel "
        "DSP\tDate d'étalonnage\tDate de programmation\tCode de date de garantie"},
    {61598, "Date"},
    {61599, "Heure"},
    {61600, "Version du matériel"},
    {61601, "Version du micrologiciel DSP"},
    {61602, "Date d'étalonnage"},
    {61603, "Date de programmation"},

    // Settings window
    {61250, "Paramètres de l'UT"},
    {61253, "L'UT n'a pas répondu à la demande (erreur 0x%08X)."},
    {61254, "NAM cellulaire 2"},
    {61452, "La connexion à l'UT a été perdue. La fenêtre des paramètres va se fermer."},

    // Default port names, chosen by the stored port number 1 to 4
    {61259, "COM1"},
    {61260, "COM2"},
    {61261, "COM3"},
    {61262, "COM4"},

    // Writing changes to the UT
    {61294, "Les modifications ont été écrites dans l'UT."},
    {61295, "La connexion ne donne pas accès aux paramètres de l'UT."},
    {61296, "Impossible d'écrire les modifications dans l'UT (erreur 0x%08X)."},
    {61298, "L'objet de paramètres ne fournit pas les paramètres généraux."},
    {61413, "Écriture des modifications dans l'UT. Veuillez patienter..."},
    {61486, "Certaines modifications n'ont pas été écrites dans l'UT. Se déconnecter quand même ?"},

    // Call timers
    {61300, "Impossible de lire les compteurs d'appels de cette UT (erreur 0x%08X)."},
    {61301, "L'UT contient une valeur inconnue de l'outil : %s"},
    {61414, "Une unité analogique fixe ne tient pas de compteurs d'appels."},

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
    {61318, "Sélectionnez le fichier logiciel à télécharger"},
    {61319, "Fichiers logiciels (*.hex *.gz);;Tous les fichiers (*)"},
    {61328, "Enregistrer les paramètres de l'UT sous"},
    {61329, "Fichiers de paramètres UT (*.vex);;Tous les fichiers (*)"},
    {61330, "Restaurer les paramètres de l'UT"},
    {61331, "Fichiers de paramètres UT (*.vex);;Tous les fichiers (*)"},
    {61504, "vex"},

    // Saving and restoring settings
    {61420, "Impossible d'enregistrer les paramètres ; le fichier a été supprimé."},
    {61421, "Les paramètres ont été enregistrés."},
    {61423, "Impossible de restaurer les paramètres. La connexion va être fermée."},
    {61424, "Le fichier n'est pas un fichier de paramètres UT ou ne peut pas être lu."},
    {61432, "Les paramètres ont été restaurés dans l'outil. Écrivez-les dans l'UT avec Écrire les modifications. "
        "Voulez-vous voir le rapport ?"},
    {61455, "Le fichier de paramètres n'a pas pu être traité. Il est peut-être endommagé ou destiné à un autre "
        "type d'UT."},
    {61481, "Enregistrement des paramètres dans "},
    {61484, "Restauration des paramètres depuis "},
    {61487, "Certaines modifications n'ont pas été écrites dans l'UT ; la restauration les remplace. Continuer ?"},
    {61553, "Les paramètres ont été enregistrés, mais la connexion à l'UT a été perdue."},
    {61554, "Les paramètres ont été restaurés, mais la connexion à l'UT a été perdue."},

    // Swap phone
    {61332, "Impossible d'enregistrer la copie des paramètres de l'ancienne UT."},
    {61352, "Impossible d'écrire les paramètres dans la nouvelle UT."},
    {61434, "Enregistrement des paramètres de l'ancienne UT. Veuillez patienter..."},
    {61435, "Les paramètres ont été transférés dans la nouvelle UT."},
    {61438, "Écriture des paramètres dans la nouvelle UT. Veuillez patienter..."},
    {61439, "Impossible de créer un fichier temporaire."},
    {61440, "Les paramètres ont été écrits dans la nouvelle UT. Voulez-vous voir le rapport ?"},
    {61471, "La connexion à l'ancienne UT a été perdue."},

    // Pages, menus and dialogs of the service tool
    {61360, "Général"},
    {61361, "Sons"},
    {61362, "Fonctions"},
    {61363, "Sécurité et alertes"},
    {61364, "Fournisseurs de services"},
    {61365, "Répertoire"},
    {61366, "NAM cellulaire 1"},
    {61367, "NAM satellite"},
    {61368, "Maintenance"},
    {61369, "Unité fixe"},
    {61370, "&Fichier"},
    {61371, "&UT"},
    {61372, "&Affichage"},
    {61373, "&Aide"},
    {61374, "&Connecter"},
    {61375, "&Déconnecter"},
    {61376, "Con&figurer l'UT..."},
    {61377, "É&crire les modifications dans l'UT"},
    {61378, "&Enregistrer les paramètres"},
    {61379, "Enregistrer les paramètres &sous..."},
    {61380, "&Restaurer les paramètres..."},
    {61381, "É&changer le téléphone..."},
    {61382, "&Télécharger le logiciel..."},
    {61383, "C&ompteurs d'appels..."},
    {61384, "Ajouter un en&registrement UT"},
    {61385, "&Barre d'outils"},
    {61386, "&Options..."},
    {61387, "Paramètres de co&nnexion..."},
    {61388, "À &propos d'UTVEX..."},
    {61389, "&Quitter"},
    {61390, "Échanger le téléphone"},
    {61391, "Connectez l'ancienne UT et appuyez sur Suivant. Ses paramètres seront enregistrés pour la nouvelle UT."},
    {61392, "Appuyez sur Suivant pour enregistrer une copie des paramètres de l'ancienne UT dans le fichier de "
        "votre choix."},
    {61393, "Débranchez l'ancienne UT, branchez la nouvelle UT sur le même port et appuyez sur Terminer."},
    {61394, "Connecté à %s"},
    {61395, "Non connecté"},
    {61396, "Rapport"},
    {61397, "Téléchargement du logiciel"},
    {61398, "Fichier journal des enregistrements"},
    {61399, "Ajouter un enregistrement UT après l'écriture des modifications"},

    // Software download
    {61479, "Le fichier ne semble pas être un fichier logiciel valide. Le télécharger quand même ?"},
    {61523, "Envoi du programme de chargement..."},
    {61524, "Envoi du logiciel..."},
    {61525, "Envoi du programme en RAM..."},
    {61529, "Temps restant : %d min %d s"},
    {61530, "Temps restant : %d s"},
    {61533, "Annuler le téléchargement ? L'UT risque de rester sans logiciel opérationnel jusqu'à un nouveau "
        "téléchargement."},
    {61534, "Annulation du téléchargement..."},
    {61535, "Octets restants : %u"},
    {61536, "%d%% terminé"},
    {61550, "Envoi du bloc d'amorçage..."},
    {61583, "Impossible d'ouvrir le fichier."},
    {61584, "Le fichier n'est pas un fichier logiciel valide."},
    {61585, "Le fichier n'est pas un fichier de bloc d'amorçage valide."},
    {61586, "Le programme de chargement est absent de la bibliothèque de ressources."},
    {61587, "Une étape du transfert Xmodem a échoué."},
    {61588, "La connexion n'a fourni aucun descripteur de liaison pour le téléchargement."},

    // Script object
    {61271, "Le code de programmation a été refusé. Il doit comporter de 1 à 6 chiffres décimaux et correspondre à "
        "celui de l'UT."},
    {61444, "Objet de script UTVEX 1.0"},
    {61573, "Le fichier de paramètres n'a pas pu être traité."},
    {61574, "Impossible d'actualiser les données de version de l'UT."},
    {61575, "Le paramètre n'a pas pu être lu ou écrit, ou cette UT ne l'a pas."},
    {61576, "L'UT n'est pas connectée."},
    {61577, "Une connexion est déjà ouverte ou en cours. Déconnectez-vous d'abord."},
    {61578, "Le port est réservé par un autre programme qui l'utilise en exclusivité."},
    {61579, "Impossible de démarrer la liaison avec l'UT."},
    {61580, "Impossible d'établir complètement la connexion à l'UT."},
    {61581, "L'UT a indiqué un débit des services de données inconnu."},
    {61582, "Impossible d'établir complètement la connexion à l'UT, même après une nouvelle tentative."},
    {61589, "Il manque à un composant une interface nécessaire."},
};
static_assert(rowsUnique(kRows));

}  // namespace

extern const LanguageTable kLanguageTable{"FRA", kRows};

}  // namespace vx::res
