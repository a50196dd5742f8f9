#pragma once

#include <string>

namespace testing_support {

bool schema_validator_available();

// Validates a report text with xmllint against schema/discovery-report.xsd;
// on failure *why holds xmllint's complaint.
bool validates_against_report_schema(const std::string& report, std::string* why = nullptr);

} // namespace testing_support
