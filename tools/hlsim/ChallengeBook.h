#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace ondel::hlsim {

// Challenge numbers handed out per client IP address, as a server keeps them: the same address
// gets the same number again, so a client may ask twice and use either answer. The book holds
// at most `capacity` addresses; beyond that the whole book starts over (old numbers turn bad).
class ChallengeBook {
public:
    ChallengeBook(std::uint32_t seed, std::size_t capacity = 4096);

    // The address's number, made on first use: never 0 and never 0xFFFFFFFF (-1 asks for one).
    std::uint32_t challengeFor(const std::string& ip);
    bool matches(const std::string& ip, std::uint32_t challenge) const;

private:
    std::mt19937 m_rng;
    std::size_t m_capacity;
    std::map<std::string, std::uint32_t> m_numbers;
};

} // namespace ondel::hlsim
