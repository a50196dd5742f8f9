#include "driver/staging.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct VariantCase {
    const char* release;
    const char* variant;
};

// First entry in table order wins, case-sensitively.
const VariantCase kVariantCases[] = {
    {"2.6.18-92.el5PAE", "PAE"},
    {"2.6.16.60-0.21-pae", "pae"},
    {"2.6.16.60-0.21-xenpae", "pae"},
    {"2.6.16.60-0.21-kdumppae", "pae"},
    {"2.6.18-92.el5xen", "xen"},
    {"2.6.16.60-0.21-bigsmp", "bigsmp"},
    {"2.6.16.60-0.21-default", "default"},
    {"2.6.16.60-0.21-kdump", "kdump"},
    {"2.6.9-78.ELsmp", "smp"},
    {"2.6.18-92.el5", ""},
    {"PAE-pae-xen", "PAE"},
    {"smp-xen", "xen"},
    {"2.6.18-XEN-SMP", ""},
};

TEST(FindVariant, FirstTableEntryInTheReleaseWins)
{
    for (const VariantCase& c : kVariantCases) {
        char out[VARIANT_SIZE];
        memset(out, 'x', sizeof out);
        findvariant(c.release, out, sizeof out);
        EXPECT_STREQ(out, c.variant) << c.release;
    }
}

TEST(FindVariant, MissingArgumentsLeaveTheOutputAlone)
{
    char out[VARIANT_SIZE] = "kept";
    findvariant(nullptr, out, sizeof out);
    EXPECT_STREQ(out, "kept");
    findvariant("2.6.18-92.el5PAE", nullptr, VARIANT_SIZE);  // must not crash
}

TEST(FindVariant, NeverWritesPastASmallBuffer)
{
    char out[8];
    memset(out, 'x', sizeof out);
    findvariant("3.0-bigsmp", out, 4);
    EXPECT_STREQ(out, "big");
    EXPECT_EQ(out[4], 'x');
}

struct CandidateCase {
    const char* tag;
    const char* release;
    const char* variant;
    const char* name;
};

const CandidateCase kCandidateCases[] = {
    {"RHEL", "2.6.18-92.el5PAE", "PAE", "./durivozo/RHEL*2.6.18PAE_durivozo.ko"},
    {"SLES", "2.6.16.60-0.21-default", "default", "./durivozo/SLES*2.6.16default_durivozo.ko"},
    {"RHEL", "2.6.18-92.el5", "", "./durivozo/RHEL*2.6.18_durivozo.ko"},
    {"RHEL", "2.6.9-78.ELsmp", "smp", "./durivozo/RHEL*2.6.9-smp_durivozo.ko"},
    {"SLES", "4.1", "", "./durivozo/SLES*4.1_durivozo.ko"},
};

TEST(CandidateModuleName, TagWildcardSixReleaseCharactersAndVariant)
{
    for (const CandidateCase& c : kCandidateCases)
        EXPECT_EQ(candidate_module_name(c.tag, c.release, c.variant), c.name) << c.release;
}

} // namespace
