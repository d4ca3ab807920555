// The strings that are the same in every language: the names under which the
// service tool stores its settings, so that a change of language keeps them,
// and value-list texts that no language words differently.
#include "string_table.h"

namespace vx::res {
namespace {

constexpr StringRow kRows[] = {
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
    {61970, "SafetyCopies"},
    // The data services baud rates, shown alike in every language
    {61850, "9600 bit/s"},
    {61851, "19200 bit/s"},
    {61852, "38400 bit/s"},
    {61853, "57600 bit/s"},
    {61854, "115200 bit/s"},
    // The volume steps between "Off" and "Maximum"
    {61919, "1"},
    {61920, "2"},
    {61921, "3"},
    {61922, "4"},
    {61923, "5"},
    {61924, "6"},
    {61925, "7"},
    {61926, "8"},
    {61927, "9"},
};
static_assert(rowsUnique(kRows));

}  // namespace

const std::span<const StringRow> kSharedRows = kRows;

}  // namespace vx::res
