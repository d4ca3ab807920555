// What a module does when a client ends. The server retires a client in one
// place and tells every module that may hold it, in a fixed order, before
// the client's entry is destroyed; after that call no module may keep the
// client anywhere.
#pragma once

namespace kmx::server {

class ClientEntry;

class ClientObserver {
 public:
  virtual ~ClientObserver() = default;
  virtual void clientRetiring(ClientEntry& client) = 0;
};

}  // namespace kmx::server
