// zkload --attack: the hostile clients zkscored must withstand, for a bounded time.
#pragma once

#include <string>

struct AttackSettings {
  std::string Host = "127.0.0.1";
  int Port = 8080;
  int Seconds = 12;
  int Idle = 500;       // connections that send nothing
  int Slowloris = 64;   // clients sending a request head one byte a second
  std::string From;     // local address of the idle clients (on loopback e.g. 127.0.0.2)
  std::string SlowFrom; // local address of the slow clients
  int ProbeLimitMs = 1000;
  int ServerPid = 0;    // for its resident memory; 0: not measured
  long MaxResidentKb = 64 * 1024;
};

// Runs the idle and slow clients for Seconds while a probe asks for the world list every 100 ms
// and, one after the other, a 256 MB body, 9.5 MB of tiny headers and 2,700 ranges are sent.
// Prints the figures; returns 0 when every probe was answered within ProbeLimitMs, the size
// attacks got 413, 431 and a whole 200 page, and the server's peak resident memory stayed within
// MaxResidentKb; 1 otherwise.
int RunAttack(const AttackSettings& settings);
