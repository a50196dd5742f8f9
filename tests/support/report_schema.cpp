#include "support/report_schema.h"

#include "support/test_support.h"

#include <unistd.h>

namespace testing_support {

bool schema_validator_available()
{
    return access("/usr/bin/xmllint", X_OK) == 0;
}

bool validates_against_report_schema(const std::string& report, std::string* why)
{
    TempDir dir;
    write_file(dir.file("report.xml"), report);
    RunResult r = run_program({"/usr/bin/xmllint", "--noout", "--schema",
                               std::string(DAZED_SOURCE_DIR) + "/schema/discovery-report.xsd", "report.xml"},
                              dir.path());
    if (why != nullptr)
        *why = r.err;
    return r.exit_status == 0;
}

} // namespace testing_support
