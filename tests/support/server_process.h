#pragma once
// A peer server from Debian (nginx, Apache httpd, squid, danted) run by a test as a child
// process in a process group of its own, on a loopback port chosen at run time, with a
// configuration the test wrote into a temporary folder. The group ends with the object.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Distinct loopback ports that were free a moment ago.
std::vector<uint16_t> FreeLoopbackPorts(size_t count);
inline uint16_t FreeLoopbackPort() {
  return FreeLoopbackPorts(1).front();
}

class TServerProcess {
 public:
  // stopSignal ends the whole group; a server whose orderly shutdown takes seconds
  // (squid) is given SIGKILL, as nothing of its state outlives the test's folder.
  explicit TServerProcess(int stopSignal);
  ~TServerProcess();
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;

  // Runs program with arguments and waits until 127.0.0.1:port accepts a connection.
  // False when the program cannot run, ends first, or never listens.
  bool Start(const std::vector<std::string>& command, uint16_t port);
  // Ends the group and waits for the server (once; the destructor does it otherwise).
  void Stop();

 private:
  int stopSignal_;
  pid_t pid_ = -1;

  bool AwaitListening(uint16_t port);
};

// Writes bytes as the file at path below the folder root, making the folders on the way;
// readable by the unprivileged user a server may switch to.
void PutServedFile(const std::string& root, const std::string& path, const std::string& bytes);
