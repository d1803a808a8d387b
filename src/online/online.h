// The online score submission: the result of a game packed into a payload, encoded into capital
// letters and digits, and sent with one HTTP GET to the score server. Every failure is silent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "online/score_code.h"

constexpr std::string_view SubmitScorePathAndQuery = "/cgi/version.pl?hs&prg=ZuboKranz&inf=";
constexpr std::string_view WorldHighScoresPathAndQuery = "/cgi/version.pl?prg=ZuboKranz&show&type=0";
constexpr std::string_view SubmitAcceptHeader = "Accept: text/html, */*";
constexpr std::string_view SubmitUserAgentHeader = "User-Agent: Mozilla/3.0 (compatible; Indy Library)";
// Bound of the whole request: the game stands still while it waits.
constexpr int SubmitTimeoutMs = 10000;

// Scheme, host and port of the score server, e.g. "http://localhost:8080" (the build setting
// ZK_SCORE_SERVER until changed). Trailing slashes are dropped.
void SetScoreServer(const std::string& server);
const std::string& ScoreServer();
// The page of the world list, opened in the browser.
std::string WorldHighScoresAddress();

// The request's address for a payload.
std::string ScoreSubmissionAddress(std::string_view payload);

// Sends the player's name, score and country. Blocks until the request ends, fails or times out
// (SubmitTimeoutMs); never throws and never reports.
void SendScoreOnline(std::string_view name, int32_t score, std::string_view country);
