#pragma once

// What the store maker checks and tells of a store: its records as they are
// on disk (before any insertion could drop or evict one), each checked
// exactly, and the figures that tell the shapes apart.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/solution_record.hpp"

namespace quorvex::bench {

using Entry = std::vector<Term>;

// Bases from here on count as large in the figures of a store, and the
// families are joined on them by preference.
constexpr int32_t kHighBase = 128;

// The entries of a DATA<k>.BIN through the program's own record codec. False
// when the file is missing, cut short, or holds more than its entries.
bool ReadStoreEntries(const std::string& path, std::vector<Entry>& entries);
// A stored record must be a true identity, and in the form the store keeps:
// fewer than 200 Terms, bases strictly descending from at least 1, no zero
// multiplicity. Prints each failure; returns how many failed.
int32_t CheckEntries(const std::vector<Entry>& entries, int32_t power, const char* what);
// Checks every solution line of a DATABASE.TXT for the power with the
// program's own reader; returns how many lines failed (unreadable or false).
int32_t CheckDatabase(const std::string& path, int32_t power, int32_t& checked);
// The figures that tell the shapes apart: length of the records, size of
// their bases, and how many records share each base.
void Describe(const std::vector<Entry>& entries, int32_t power);
// The file's size and digest.
void PrintFile(const std::filesystem::path& path);

}  // namespace quorvex::bench
