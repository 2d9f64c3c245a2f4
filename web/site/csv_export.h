#pragma once

#include <string>
#include <vector>

#include "web/site/site_snapshot.h"

namespace varnock::web {

// The devices as CSV (RFC 4180, CRLF line ends), a header line first:
//   hardware_address,name,note,vendor,locally_administered,interface,
//   addresses,first_seen,last_seen,state,record
// with a device's addresses in one field, separated by spaces. Every field
// passes CsvCell, which also defuses text a spreadsheet would run.
std::string DevicesCsv(const std::vector<const Device*>& devices);

}  // namespace varnock::web
