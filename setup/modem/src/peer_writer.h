// Puts the pppd peer file, its chat script and the name server hook in
// place. Every file is written whole or not at all, and a file this wizard
// did not write is never replaced.
#pragma once

#include <string>
#include <vector>

#include "dns_choice.h"

namespace obnet {

// Where the files belong on the system; the texts refer to these paths.
struct PeerPaths {
  std::string peerFile = "/etc/ppp/peers/ob-packet-data";
  std::string chatFile = "/etc/chatscripts/ob-packet-data";
  std::string dnsHook = "/etc/ppp/ip-up.d/0000ob-packet-data-dns";
};

struct PeerTarget {
  // The files are written under root + their system path: "/" writes the
  // system's files, another directory lets tests and unprivileged users
  // prepare them elsewhere.
  std::string root = "/";
  // Where a fresh directory is made for the files when root is not
  // writable; empty means $TMPDIR, else /tmp.
  std::string stagingParent;
  PeerPaths paths;
};

struct PeerWriteResult {
  enum class Status {
    Written,  // in place under root
    Staged,   // written to stagingDir; command puts them in place
    Failed,   // nothing usable was written; detail says why
  };
  Status status = Status::Failed;
  std::string detail;
  std::string stagingDir;
  std::string command;
  std::vector<std::string> written;  // the files written, where they were written
};

PeerWriteResult writePeer(const std::string& port, const DnsChoice& dns, const PeerTarget& target);

// Whether the file's opening lines carry the wizard's marker.
bool writtenByWizard(const std::string& path);

}  // namespace obnet
