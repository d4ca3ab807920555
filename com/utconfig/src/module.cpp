// The class libvxutconfig.so serves, and its in-process server exports.
#include "ut_config.h"
#include "vx/com/server.h"

namespace {

const VxComClassEntry kClasses[] = {
    vx::com::ClassEntryFor<vx::utconfig::CUTConfig>(CLSID_UTConfig, "UTVEX_UTConfig.UTVEX_UTConfig.1",
                                                    "UTVEX_UTConfig.UTVEX_UTConfig", "UTVEX UT Config Object"),
};

}  // namespace

VX_COM_INPROC_SERVER(kClasses)
