// The link registry at scale, shared by the benchmarks: 20 HotSync users with
// 1,000 linked books each in TBRegistry.dat, and 1,000 books in the first
// user's Backup folder with the given sheets each.
#pragma once

#include <initializer_list>
#include <string>

#include "support/sandbox.h"
#include "support/test_support.h"

namespace benchscale {

constexpr int kUsers = 20;
constexpr int kLinksPerUser = 1000;
constexpr int kBooksInBackup = 1000;

inline std::string bookName(int i) { return "Book" + std::to_string(100000 + i * 7919 % 100000); }

struct LinkScale {
    testsupport::Sandbox box;
    explicit LinkScale(std::initializer_list<const char*> sheets) {
        for (int u = 0; u < kUsers; ++u) box.addUser("User " + std::to_string(u), std::to_string(1000 + u));
        std::string text;
        for (int u = 0; u < kUsers; ++u) {
            text += "[User " + std::to_string(u) + "]\r\nenabled=10\r\n";
            for (int i = 0; i < kLinksPerUser; ++i)
                text += bookName(i) + "=0,1,-1,0,0,-1?/data/sheets/" + bookName(i) + ".xls\r\n";
        }
        box.writeLinks(text);
        for (int i = 0; i < kBooksInBackup; ++i)
            for (const char* sheet : sheets)
                box.putInBackup(0, testsupport::SheetDbSpec(bookName(i) + "-" + sheet, 71, uint32_t(i)));
    }
};

}  // namespace benchscale
