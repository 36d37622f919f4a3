// Runs a piece of a test in a child process of its own: the saver's state is
// process-wide globals that start from their initial values, and several of
// its paths end the process. The child reports facts back through a pipe.
#pragma once

#include <functional>
#include <map>
#include <string>

struct IsolatedRun {
  bool exited = false;    // ended through exit, not a signal
  int exitCode = -1;
  std::string errorOutput;  // what the child wrote to standard error
  std::map<std::string, std::string> facts;

  // The fact, or "<missing>" when the child never reported it.
  std::string operator[](const std::string& key) const;
};

// Records a fact in the child; it reaches the parent even when the child
// ends abruptly afterwards.
void reportFact(const std::string& key, const std::string& value);
void reportFact(const std::string& key, long long value);

// Runs body in a child; a child that returns from body exits with code 0.
IsolatedRun runIsolated(const std::function<void()>& body);
