#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ondel::mastersim {

// A message the simulator sends in MSG records.
struct SimMessage {
    std::int32_t number = 0;
    std::string title;
    std::string text;
    std::string link;
};

// Which request's reply carries the configured records.
enum class ReplyTo { UserId, Version, Both };

// Command line of mastersim (all optional):
//   --port N              listen on 127.0.0.1:N (0: the system picks; the default)
//   --assign-id N         answer the USERID request with a USERID record holding N
//   --message NUM:TITLE:TEXT:LINK   a MSG record (repeatable; LINK is the rest and may hold ':';
//                         "\n" in TEXT becomes a line break)
//   --messages-on userid|version|both   which reply carries the records above (default userid)
//   --nop                 a NOP record first in every reply
//   --error TEXT          an ERROR record after the records above, then a USERID 999 record
//   --unknown-type        a record of type 7 after the records above, then a USERID 998 record
//   --no-exit             leave the EXIT record off the end
//   --split-writes N      write every reply body in pieces of N bytes, each on its own
//   --chunked             send the body with chunked transfer encoding (HTTP/1.1)
//   --http10              answer as HTTP/1.0 without Content-Length (the close ends the body)
//   --status N            HTTP status code (default 200)
//   --hang                accept requests and never answer them
struct MasterSimOptions {
    int port = 0;
    std::optional<std::int32_t> assignId;
    std::vector<SimMessage> messages;
    ReplyTo messagesOn = ReplyTo::UserId;
    bool nop = false;
    std::optional<std::string> error;
    bool unknownType = false;
    bool noExit = false;
    std::size_t splitWrites = 0;
    bool chunked = false;
    bool http10 = false;
    int status = 200;
    bool hang = false;

    // Parses the arguments after the program name; nothing with error set when one is wrong.
    static std::optional<MasterSimOptions> parse(const std::vector<std::string>& args,
                                                 std::string& error);
};

} // namespace ondel::mastersim
