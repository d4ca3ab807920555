// The classes libvxconnect.so serves, and its in-process server exports.
#include "vex_connection.h"
#include "vx/com/server.h"

namespace {

const VxComClassEntry kClasses[] = {
    vx::com::ClassEntryFor<vx::connect::CVexConnection>(CLSID_VexConnection, "UTVEXConn.UTVEXConn.1",
                                                        "UTVEXConn.UTVEXConn", "UTVEXConn Class"),
    vx::com::RegistrationOnlyEntry(CLSID_VexNVNode, "UTVEX_NVNode.UTVEX_NVNode", nullptr, "NVNode Class"),
};

}  // namespace

VX_COM_INPROC_SERVER(kClasses)
