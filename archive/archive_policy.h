#pragma once
// The archive policy, "archive.txt" in the program folder: how long and how much of the
// saved pictures the program keeps. Lines "keep-days N" and "keep-megabytes M" (either may
// be left out, blank lines and lines starting with "#" are passed over). Without the file
// nothing is ever deleted.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kArchivePolicyFileName = "archive.txt";
// A megabyte of the policy, as df -m counts it.
inline constexpr int64_t kBytesPerMegabyte = 1024 * 1024;

struct TArchivePolicy {
  std::optional<int64_t> keepDays;
  std::optional<int64_t> keepMegabytes;
  friend bool operator==(const TArchivePolicy&, const TArchivePolicy&) = default;
};

// The policy of the file's lines. A line that does not say exactly one of the two settings
// with a whole number of at least 1 raises Exception naming the line and what is wrong with
// it: a policy that is not understood must delete nothing rather than a guess of it.
TArchivePolicy ParseArchivePolicy(const std::vector<std::string>& lines);

// The policy in fileName; none when the file does not exist. Raises as ParseArchivePolicy
// does, and EFOpenError when the file exists but cannot be read.
std::optional<TArchivePolicy> ReadArchivePolicy(const std::string& fileName);
