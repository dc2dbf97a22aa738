#include "MasterSimOptions.h"

#include "common/Text.h"

namespace ondel::mastersim {

namespace {
bool parseNumber(const std::string& s, long long low, long long high, long long& out) {
    if (s.empty())
        return false;
    std::size_t i = (s[0] == '-') ? 1 : 0;
    if (i == s.size())
        return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9' || v > 1'000'000'000'000LL)
            return false;
        v = v * 10 + (s[i] - '0');
    }
    out = s[0] == '-' ? -v : v;
    return out >= low && out <= high;
}

std::string unescapeLines(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}
} // namespace

std::optional<MasterSimOptions> MasterSimOptions::parse(const std::vector<std::string>& args,
                                                        std::string& error) {
    MasterSimOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        long long n = 0;
        if (a == "--port") {
            if (!value(v) || !parseNumber(v, 0, 65535, n)) {
                error = error.empty() ? "bad port" : error;
                return std::nullopt;
            }
            o.port = static_cast<int>(n);
        } else if (a == "--assign-id") {
            if (!value(v) || !parseNumber(v, INT32_MIN, INT32_MAX, n)) {
                error = error.empty() ? "bad id" : error;
                return std::nullopt;
            }
            o.assignId = static_cast<std::int32_t>(n);
        } else if (a == "--message") {
            if (!value(v))
                return std::nullopt;
            std::size_t c1 = v.find(':');
            std::size_t c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
            std::size_t c3 = c2 == std::string::npos ? c2 : v.find(':', c2 + 1);
            if (c3 == std::string::npos || !parseNumber(v.substr(0, c1), INT32_MIN, INT32_MAX, n)) {
                error = "--message wants NUM:TITLE:TEXT:LINK";
                return std::nullopt;
            }
            o.messages.push_back(
                SimMessage{static_cast<std::int32_t>(n), v.substr(c1 + 1, c2 - c1 - 1),
                           unescapeLines(v.substr(c2 + 1, c3 - c2 - 1)), v.substr(c3 + 1)});
        } else if (a == "--messages-on") {
            if (!value(v))
                return std::nullopt;
            if (v == "userid")
                o.messagesOn = ReplyTo::UserId;
            else if (v == "version")
                o.messagesOn = ReplyTo::Version;
            else if (v == "both")
                o.messagesOn = ReplyTo::Both;
            else {
                error = "--messages-on wants userid, version or both";
                return std::nullopt;
            }
        } else if (a == "--nop") {
            o.nop = true;
        } else if (a == "--error") {
            if (!value(v))
                return std::nullopt;
            o.error = v;
        } else if (a == "--unknown-type") {
            o.unknownType = true;
        } else if (a == "--no-exit") {
            o.noExit = true;
        } else if (a == "--split-writes") {
            if (!value(v) || !parseNumber(v, 1, 1 << 20, n)) {
                error = error.empty() ? "bad --split-writes" : error;
                return std::nullopt;
            }
            o.splitWrites = static_cast<std::size_t>(n);
        } else if (a == "--chunked") {
            o.chunked = true;
        } else if (a == "--http10") {
            o.http10 = true;
        } else if (a == "--status") {
            if (!value(v) || !parseNumber(v, 100, 599, n)) {
                error = error.empty() ? "bad status" : error;
                return std::nullopt;
            }
            o.status = static_cast<int>(n);
        } else if (a == "--hang") {
            o.hang = true;
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (o.chunked && o.http10) {
        error = "--chunked needs HTTP/1.1";
        return std::nullopt;
    }
    return o;
}

} // namespace ondel::mastersim
