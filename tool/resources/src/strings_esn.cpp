// The Spanish (Spain) texts of libVEXResESN.so, one row per string number.
#include "string_table.h"

namespace vx::res {
namespace {

constexpr StringRow kRows[] = {
    // Main window
    {130, "Herramienta de servicio UTVEX"},

    // Connecting
    {61204, "Conectando con la nueva UT. Espere, por favor..."},
    {61216, "No se pudo crear el objeto de conexión."},
    {61217, "No se pudo asignar el nombre del puerto a la conexión."},
    {61218, "No se pudo establecer el tiempo de espera o la velocidad en baudios."},
    {61219, "No se pudo iniciar la conexión con la UT."},
    {61592, "No se pudo iniciar el servidor de enlace para este puerto. Compruebe que el puerto existe y que "
        "ningún otro programa lo usa."},

    // UT checks before a settings window opens
    {61227, "No hay ninguna sesión de UT abierta."},
    {61228, "La UT antigua no está conectada."},
    {61229, "No hay conexión con ninguna UT."},
    {61230, "La conexión no ofrece los datos de versión de la UT."},
    {61231, "No se pudieron leer los datos de versión de la UT (error 0x%08X)."},
    {61274, "No se pudo leer el modelo de la UT (error 0x%08X)."},
    {61275, "La herramienta no conoce este modelo de UT; no se pueden mostrar sus ajustes."},
    {61428, "Los datos de versión de la UT antigua no están disponibles."},
    {61560, "No se pudieron actualizar los datos de versión de la UT antigua."},

    // UT record fields
    {61238, "ESN"},
    {61239, "Modelo"},
    {61240, "Versión de software"},
    {61241, "Código de fecha de garantía"},
    {61427, "Fecha\tHora\tESN\tModelo\tVersión de software\tVersión de hardware\tVersión de firmware DSP\tFecha de "
        "calibración\tFecha de programación de servicio\tCódigo de fecha de garantía"},
    {61598, "Fecha"},
    {61599, "Hora"},
    {61600, "Versión de hardware"},
    {61601, "Versión de firmware DSP"},
    {61602, "Fecha de calibración"},
    {61603, "Fecha de programación de servicio"},

    // Settings window
    {61250, "Ajustes de la UT"},
    {61253, "La UT no respondió a la petición (error 0x%08X)."},
    {61254, "NAM celular 2"},
    {61452, "Se perdió la conexión con la UT. La ventana de ajustes se cerrará."},

    // Default port names, chosen by the stored port number 1 to 4
    {61259, "COM1"},
    {61260, "COM2"},
    {61261, "COM3"},
    {61262, "COM4"},

    // Writing changes to the UT
    {61294, "Los cambios se escribieron en la UT."},
    {61295, "La conexión no ofrece acceso a los ajustes de la UT."},
    {61296, "No se pudieron escribir los cambios en la UT (error 0x%08X)."},
    {61298, "El objeto de ajustes no ofrece los ajustes generales."},
    {61413, "Escribiendo los cambios en la UT. Espere, por favor..."},
    {61486, "Hay cambios que no se han escrito en la UT. ¿Desconectar de todos modos?"},

    // Call timers
    {61300, "No se pueden leer los temporizadores de llamadas de esta UT (error 0x%08X)."},
    {61301, "La UT contiene un valor que la herramienta no conoce: %s"},
    {61414, "Una unidad analógica fija no guarda temporizadores de llamadas."},

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
    {61318, "Seleccione el archivo de software que desea descargar"},
    {61319, "Archivos de software (*.hex *.gz);;Todos los archivos (*)"},
    {61328, "Guardar ajustes de la UT como"},
    {61329, "Archivos de ajustes de UT (*.vex);;Todos los archivos (*)"},
    {61330, "Restaurar ajustes de la UT"},
    {61331, "Archivos de ajustes de UT (*.vex);;Todos los archivos (*)"},
    {61504, "vex"},

    // Saving and restoring settings
    {61420, "No se pudieron guardar los ajustes; el archivo se eliminó."},
    {61421, "Los ajustes se guardaron."},
    {61423, "No se pudieron restaurar los ajustes. Se cerrará la conexión."},
    {61424, "El archivo no es un archivo de ajustes de UT o no se puede leer."},
    {61432, "Los ajustes se restauraron en la herramienta. Escríbalos en la UT con Escribir cambios. ¿Desea ver el "
        "informe?"},
    {61455, "No se pudo procesar el archivo de ajustes. Puede estar dañado o pertenecer a otro tipo de UT."},
    {61481, "Guardando los ajustes en "},
    {61484, "Restaurando los ajustes desde "},
    {61487, "Hay cambios que no se han escrito en la UT; restaurar los ajustes los reemplaza. ¿Continuar?"},
    {61553, "Los ajustes se guardaron, pero se perdió la conexión con la UT."},
    {61554, "Los ajustes se restauraron, pero se perdió la conexión con la UT."},

    // Swap phone
    {61332, "No se pudo guardar la copia de los ajustes de la UT antigua."},
    {61352, "No se pudieron escribir los ajustes en la nueva UT."},
    {61434, "Guardando los ajustes de la UT antigua. Espere, por favor..."},
    {61435, "Los ajustes se trasladaron a la nueva UT."},
    {61438, "Escribiendo los ajustes en la nueva UT. Espere, por favor..."},
    {61439, "No se pudo crear ningún archivo temporal."},
    {61440, "Los ajustes se escribieron en la nueva UT. ¿Desea ver el informe?"},
    {61471, "Se perdió la conexión con la UT antigua."},

    // Pages, menus and dialogs of the service tool
    {61360, "General"},
    {61361, "Sonidos"},
    {61362, "Funciones"},
    {61363, "Seguridad y avisos"},
    {61364, "Proveedores de servicio"},
    {61365, "Agenda"},
    {61366, "NAM celular 1"},
    {61367, "NAM satelital"},
    {61368, "Mantenimiento"},
    {61369, "Unidad fija"},
    {61370, "&Archivo"},
    {61371, "&UT"},
    {61372, "&Ver"},
    {61373, "A&yuda"},
    {61374, "&Conectar"},
    {61375, "&Desconectar"},
    {61376, "Con&figurar UT..."},
    {61377, "&Escribir cambios en la UT"},
    {61378, "&Guardar ajustes"},
    {61379, "Guardar ajustes &como..."},
    {61380, "&Restaurar ajustes..."},
    {61381, "Ca&mbiar teléfono..."},
    {61382, "Descargar &software..."},
    {61383, "&Temporizadores de llamadas..."},
    {61384, "Añadir &registro de la UT"},
    {61385, "Barra de &herramientas"},
    {61386, "&Opciones..."},
    {61387, "Ajustes de co&nexión..."},
    {61388, "&Acerca de UTVEX..."},
    {61389, "&Salir"},
    {61390, "Cambiar teléfono"},
    {61391, "Conecte la UT antigua y pulse Siguiente. Sus ajustes se guardarán para la nueva UT."},
    {61392, "Pulse Siguiente para guardar una copia de los ajustes de la UT antigua en el archivo que elija."},
    {61393, "Desconecte la UT antigua, conecte la nueva UT al mismo puerto y pulse Finalizar."},
    {61394, "Conectado a %s"},
    {61395, "No conectado"},
    {61396, "Informe"},
    {61397, "Descarga de software"},
    {61398, "Archivo de registros"},
    {61399, "Añadir un registro de la UT tras escribir los cambios"},

    // Software download
    {61479, "El archivo no parece un archivo de software válido. ¿Descargarlo de todos modos?"},
    {61523, "Enviando el programa cargador..."},
    {61524, "Enviando el software..."},
    {61525, "Enviando el programa de RAM..."},
    {61529, "Tiempo restante: %d min %d s"},
    {61530, "Tiempo restante: %d s"},
    {61533, "¿Cancelar la descarga? La UT puede quedar sin software operativo hasta que se vuelva a descargar."},
    {61534, "Cancelando la descarga..."},
    {61535, "Bytes restantes: %u"},
    {61536, "%d%% completado"},
    {61550, "Enviando el bloque de arranque..."},
    {61583, "No se puede abrir el archivo."},
    {61584, "El archivo no es un archivo de software válido."},
    {61585, "El archivo no es un archivo de bloque de arranque válido."},
    {61586, "Falta el programa cargador en la biblioteca de recursos."},
    {61587, "Falló un paso de la transferencia Xmodem."},
    {61588, "La conexión no proporcionó un identificador de enlace para la descarga."},

    // Script object
    {61271, "Se rechazó el código de programación de servicio. Debe tener de 1 a 6 dígitos decimales y coincidir "
        "con el de la UT."},
    {61444, "Objeto de script UTVEX 1.0"},
    {61573, "No se pudo procesar el archivo de ajustes."},
    {61574, "No se pudieron actualizar los datos de versión de la UT."},
    {61575, "No se pudo leer o escribir el ajuste, o esta UT no lo tiene."},
    {61576, "La UT no está conectada."},
    {61577, "Ya hay una conexión abierta o en curso. Desconecte primero."},
    {61578, "Otro programa usa el puerto en exclusiva."},
    {61579, "No se pudo iniciar el enlace con la UT."},
    {61580, "No se pudo completar la conexión con la UT."},
    {61581, "La UT indicó una velocidad de servicios de datos desconocida."},
    {61582, "No se pudo completar la conexión con la UT, ni siquiera tras un reintento."},
    {61589, "A un componente le falta una interfaz necesaria."},
};
static_assert(rowsUnique(kRows));

}  // namespace

extern const LanguageTable kLanguageTable{"ESN", kRows};

}  // namespace vx::res
