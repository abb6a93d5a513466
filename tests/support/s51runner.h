#pragma once

// Drives the s51 simulator (Debian's sdcc-ucsim) in batch: one process runs many programs, each
// from the same initial memories the 8051 core gets, and reports the state after a number of
// instructions. Used by the differential test and the benchmark.

#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace s51 {

// The whole initial state of one run: code image, internal RAM and external RAM bytes (external
// RAM not listed here is 0); SFRs start at their reset values.
struct Program {
    QString name;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> code; // (address, bytes)
    std::array<uint8_t, 256> iram{};
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> xram;
    uint64_t steps = 0;            // instructions to execute
    std::vector<uint16_t> xramOut; // external RAM addresses to report afterwards
};

struct State {
    uint32_t pc = 0;
    uint64_t cycles = 0; // machine cycles
    uint64_t instructions = 0;
    std::array<uint8_t, 256> iram{};
    std::array<uint8_t, 128> sfr{};
    std::map<uint16_t, uint8_t> xram;
};

// Full path of s51, or empty when it is not installed.
QString Executable();

// Runs every program in one s51 process of the given CPU type ("52"). On failure returns nullopt
// and sets error.
std::optional<std::vector<State>> RunBatch(const std::vector<Program>& programs, QString* error,
                                           const QString& cpu = QStringLiteral("52"));

// Runs one program until the instruction at stopAddress and returns the CPU seconds s51 used
// (user + system time of the child), or a negative value on failure.
double TimeRun(const Program& program, uint16_t stopAddress, uint64_t* instructions,
               uint64_t* cycles);

} // namespace s51
