// Child-process runs for tests.
#include "isolated.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

int factPipe = -1;

// Reads both pipes to their ends together, so that neither can fill up
// while the other is waited on.
void readBoth(int factsFd, int errorsFd, std::string& factsText, std::string& errorsText) {
  pollfd fds[2] = {{factsFd, POLLIN, 0}, {errorsFd, POLLIN, 0}};
  std::string* texts[2] = {&factsText, &errorsText};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        char buffer[4096];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got <= 0) {
          fds[i].fd = -1;
          --open;
        } else {
          texts[i]->append(buffer, static_cast<std::size_t>(got));
        }
      }
    }
  }
}

// Facts travel as "key\tvalue\n"; tabs and line ends inside are escaped.
std::string escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : (next == 't' ? '\t' : next);
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string IsolatedRun::operator[](const std::string& key) const {
  const auto found = facts.find(key);
  return found == facts.end() ? "<missing>" : found->second;
}

void reportFact(const std::string& key, const std::string& value) {
  const std::string line = escape(key) + "\t" + escape(value) + "\n";
  if (factPipe >= 0 && write(factPipe, line.data(), line.size()) < 0) {
    std::abort();
  }
}

void reportFact(const std::string& key, long long value) {
  reportFact(key, std::to_string(value));
}

IsolatedRun runIsolated(const std::function<void()>& body) {
  int facts[2];
  int errors[2];
  if (pipe(facts) != 0 || pipe(errors) != 0) {
    std::abort();
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(facts[0]);
    close(errors[0]);
    dup2(errors[1], 2);
    factPipe = facts[1];
    body();
    std::exit(0);
  }
  close(facts[1]);
  close(errors[1]);
  IsolatedRun run;
  std::string factsText;
  readBoth(facts[0], errors[0], factsText, run.errorOutput);
  std::istringstream lines(factsText);
  close(facts[0]);
  close(errors[0]);
  int status = 0;
  waitpid(child, &status, 0);
  run.exited = WIFEXITED(status);
  run.exitCode = run.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
  for (std::string line; std::getline(lines, line);) {
    const auto tab = line.find('\t');
    if (tab != std::string::npos) {
      run.facts[unescape(line.substr(0, tab))] = unescape(line.substr(tab + 1));
    }
  }
  return run;
}
