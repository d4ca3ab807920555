// The English (United States) texts of libVEXResENU.so, one row per string number.
#include "string_table.h"

namespace vx::res {
namespace {

constexpr StringRow kRows[] = {
    // Main window
    {130, "UTVEX Service Tool"},

    // Connecting
    {61204, "Connecting to the new UT. Please wait..."},
    {61216, "The connection object could not be created."},
    {61217, "The port name could not be given to the connection."},
    {61218, "The time-out or the baud rate could not be set."},
    {61219, "The connection to the UT could not be started."},
    {61592, "The link server could not be started for this port. Check that the port exists and that no other "
        "program uses it."},

    // UT checks before a settings window opens
    {61227, "No UT session is open."},
    {61228, "The old UT is not connected."},
    {61229, "There is no connection to a UT."},
    {61230, "The connection does not offer the UT's version data."},
    {61231, "The UT's version data could not be read (error 0x%08X)."},
    {61274, "The UT's model could not be read (error 0x%08X)."},
    {61275, "This UT model is not known to the tool; its settings cannot be shown."},
    {61428, "The old UT's version data is not available."},
    {61560, "The old UT's version data could not be refreshed."},

    // UT record fields
    {61238, "ESN"},
    {61239, "Model"},
    {61240, "Software version"},
    {61241, "Warranty date code"},
    {61427, "Date\tTime\tESN\tModel\tSoftware version\tHardware version\tDSP firmware version\tCalibration "
        "date\tService programming date\tWarranty date code"},
    {61598, "Date"},
    {61599, "Time"},
    {61600, "Hardware version"},
    {61601, "DSP firmware version"},
    {61602, "Calibration date"},
    {61603, "Service programming date"},

    // Settings window
    {61250, "UT Settings"},
    {61253, "The UT did not answer the request (error 0x%08X)."},
    {61254, "Cellular NAM 2"},
    {61452, "The connection to the UT was lost. The settings window will close."},

    // Default port names, chosen by the stored port number 1 to 4
    {61259, "COM1"},
    {61260, "COM2"},
    {61261, "COM3"},
    {61262, "COM4"},

    // Writing changes to the UT
    {61294, "The changes were written to the UT."},
    {61295, "The connection does not offer access to the UT's settings."},
    {61296, "The changes could not be written to the UT (error 0x%08X)."},
    {61298, "The settings object does not offer the general settings."},
    {61413, "Writing the changes to the UT. Please wait..."},
    {61486, "Some changes have not been written to the UT. Disconnect anyway?"},

    // Call timers
    {61300, "The call timers cannot be read from this UT (error 0x%08X)."},
    {61301, "The UT holds a value that the tool does not know: %s"},
    {61414, "A fixed analog unit keeps no call timers."},

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
    {61318, "Select the software file to download"},
    {61319, "Software files (*.hex *.gz);;All files (*)"},
    {61328, "Save UT Settings As"},
    {61329, "UT settings files (*.vex);;All files (*)"},
    {61330, "Restore UT Settings"},
    {61331, "UT settings files (*.vex);;All files (*)"},
    {61504, "vex"},

    // Saving and restoring settings
    {61420, "The settings could not be saved; the file was removed."},
    {61421, "The settings were saved."},
    {61423, "The settings could not be restored. The connection will be closed."},
    {61424, "The file is not a UT settings file or cannot be read."},
    {61432, "The settings were restored into the tool. Write them to the UT with Write Changes. Do you want to see "
        "the report?"},
    {61455, "The settings file could not be processed. It may be damaged or belong to another kind of UT."},
    {61481, "Saving the settings to "},
    {61484, "Restoring the settings from "},
    {61487, "Some changes have not been written to the UT; restoring settings replaces them. Continue?"},
    {61553, "The settings were saved, but the connection to the UT was lost."},
    {61554, "The settings were restored, but the connection to the UT was lost."},

    // Swap phone
    {61332, "The copy of the old UT's settings could not be saved."},
    {61352, "The settings could not be written into the new UT."},
    {61434, "Saving the settings of the old UT. Please wait..."},
    {61435, "The settings were moved to the new UT."},
    {61438, "Writing the settings into the new UT. Please wait..."},
    {61439, "No temporary file could be created."},
    {61440, "The settings were written into the new UT. Do you want to see the report?"},
    {61471, "The connection to the old UT was lost."},

    // Pages, menus and dialogs of the service tool
    {61360, "General"},
    {61361, "Sounds"},
    {61362, "Features"},
    {61363, "Security and Alerts"},
    {61364, "Service Providers"},
    {61365, "Phone Book"},
    {61366, "Cellular NAM 1"},
    {61367, "Satellite NAM"},
    {61368, "Maintenance"},
    {61369, "Fixed Unit"},
    {61370, "&File"},
    {61371, "&UT"},
    {61372, "&View"},
    {61373, "&Help"},
    {61374, "&Connect"},
    {61375, "&Disconnect"},
    {61376, "Con&figure UT..."},
    {61377, "&Write Changes to UT"},
    {61378, "&Save Settings"},
    {61379, "Save Settings &As..."},
    {61380, "&Restore Settings..."},
    {61381, "S&wap Phone..."},
    {61382, "Download &Software..."},
    {61383, "Call &Timers..."},
    {61384, "Append UT &Record"},
    {61385, "&Toolbar"},
    {61386, "&Options..."},
    {61387, "Connection Se&ttings..."},
    {61388, "&About UTVEX..."},
    {61389, "E&xit"},
    {61390, "Swap Phone"},
    {61391, "Connect the old UT and press Next. Its settings will be saved for the new UT."},
    {61392, "Press Next to save a copy of the old UT's settings to a file of your choice."},
    {61393, "Disconnect the old UT, connect the new UT to the same port and press Finish."},
    {61394, "Connected to %s"},
    {61395, "Not connected"},
    {61396, "Report"},
    {61397, "Software Download"},
    {61398, "Record log file"},
    {61399, "Append a UT record after writing changes"},

    // Software download
    {61479, "The file does not look like a valid software file. Download it anyway?"},
    {61523, "Sending the loader program..."},
    {61524, "Sending the software..."},
    {61525, "Sending the RAM program..."},
    {61529, "Time remaining: %d min %d s"},
    {61530, "Time remaining: %d s"},
    {61533, "Cancel the download? The UT may be left without working software until the software is downloaded "
        "again."},
    {61534, "Cancelling the download..."},
    {61535, "Bytes remaining: %u"},
    {61536, "%d%% complete"},
    {61550, "Sending the boot block..."},
    {61583, "The file cannot be opened."},
    {61584, "The file is not a valid software file."},
    {61585, "The file is not a valid boot block file."},
    {61586, "The loader program is missing from the resource library."},
    {61587, "A step of the Xmodem transfer failed."},
    {61588, "The connection gave no link handle for the download."},

    // Script object
    {61271, "The service programming code was refused. It must be 1 to 6 decimal digits and match the UT's code."},
    {61444, "UTVEX Script Object 1.0"},
    {61573, "The settings file could not be processed."},
    {61574, "The UT's version data could not be refreshed."},
    {61575, "The setting could not be read or written, or this UT does not have it."},
    {61576, "The UT is not connected."},
    {61577, "A connection is already open or being made. Disconnect first."},
    {61578, "The port is held by another program that uses it exclusively."},
    {61579, "The link to the UT could not be started."},
    {61580, "The connection to the UT could not be completed."},
    {61581, "The UT reported a data services baud rate that is not known."},
    {61582, "The connection to the UT could not be completed, even after a retry."},
    {61589, "A component lacks an interface that is needed."},
};
static_assert(rowsUnique(kRows));

}  // namespace

extern const LanguageTable kLanguageTable{"ENU", kRows};

}  // namespace vx::res
