// SPDX-License-Identifier: Apache-2.0
#include "demo/captions.h"

#include <QDateTime>

#include <cstdio>
#include <iterator>

namespace orvex::demo {
namespace {

constexpr const char* kStatusCaptions[] = {
    " IDLE ",         " WRITING ",           " ERASING ",           " BACKGROUND FORMAT ",
    " CLOSING TRACK ", " CLOSING DISC ",      " PREPARING ",         " ABORTING ",
    " IMPORTING SESSION ", " BURN ERROR: ABORTING ", " VERIFYING ", " GEN. SM. REF ",
};

constexpr TCapability kCapabilities[] = {
    {"DC_TEST_WRITE", 41},    {"DC_UNDERRUNPROTECTION", 42}, {"READ_CDR", 1},         {"READ_CDRW", 2},
    {"READ_DVDRAM", 3},       {"READ_DVDR", 4},              {"READ_DVDRW", 5},       {"READ_DVDPLUSR", 6},
    {"READ_DVDPLUSRDL", 8},   {"READ_DVDPLUSRW", 7},         {"READ_HDDVDROM", 9},    {"READ_HDDVDR", 10},
    {"READ_HDDVDRAM", 11},    {"READ_BDROM", 12},            {"READ_BDR", 13},        {"READ_BDRE", 14},
    {"WRITE_CDR", 21},        {"WRITE_CDRW", 22},            {"WRITE_DVDRAM", 23},    {"WRITE_DVDR", 24},
    {"WRITE_DVDRW", 25},      {"WRITE_DVDPLUSR", 26},        {"WRITE_DVDPLUSRDL", 28}, {"WRITE_DVDPLUSRW", 27},
    {"WRITE_HDDVDR", 29},     {"WRITE_HDDVDRAM", 30},        {"WRITE_BDR", 31},       {"WRITE_BDRE", 32},
};

}  // namespace

const char* StatusCaption(uint16_t status) {
  return status < std::size(kStatusCaptions) ? kStatusCaptions[status] : "";
}

const char* BoolWord(bool value) { return value ? "True" : "False"; }

std::string LogTimeStamp() {
  const QTime now = QDateTime::currentDateTimeUtc().time();
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%03d", now.minute(), now.second(), now.msec());
  return text;
}

std::span<const TCapability> QuickInfoCapabilities() { return kCapabilities; }

}  // namespace orvex::demo
