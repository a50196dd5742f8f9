#include "lib/xml_quiet.h"

#include <libxml/xmlerror.h>

namespace {

void ignore_generic(void*, const char*, ...) {}
void ignore_structured(void*, xmlErrorPtr) {}

} // namespace

void quiet_libxml_errors()
{
    xmlSetGenericErrorFunc(nullptr, ignore_generic);
    xmlSetStructuredErrorFunc(nullptr, ignore_structured);
}
