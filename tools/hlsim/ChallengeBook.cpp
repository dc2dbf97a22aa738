#include "ChallengeBook.h"

namespace ondel::hlsim {

ChallengeBook::ChallengeBook(std::uint32_t seed, std::size_t capacity)
    : m_rng(seed), m_capacity(capacity) {}

std::uint32_t ChallengeBook::challengeFor(const std::string& ip) {
    if (auto it = m_numbers.find(ip); it != m_numbers.end())
        return it->second;
    if (m_numbers.size() >= m_capacity)
        m_numbers.clear();
    // Positive 31-bit numbers: printed as %u or read back as int32 they are the same value.
    std::uniform_int_distribution<std::uint32_t> number(1, 0x7FFFFFFE);
    std::uint32_t challenge = number(m_rng);
    m_numbers.emplace(ip, challenge);
    return challenge;
}

bool ChallengeBook::matches(const std::string& ip, std::uint32_t challenge) const {
    auto it = m_numbers.find(ip);
    return it != m_numbers.end() && it->second == challenge;
}

} // namespace ondel::hlsim
