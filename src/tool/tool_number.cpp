#include "tool/tool_number.h"

#include "log/event_log.h"
#include "tool/text_checks.h"
#include "tool/tool_output.h"

#include <cstdlib>
#include <cstring>

namespace {

// Wider than any usable number, so that a longer word is seen as too long
// rather than cut into a usable one.
constexpr size_t kWordSize = 32;

} // namespace

ToolNumber read_tool_number(const char* path)
{
    char word[kWordSize] = "";
    get_nth_word_from_file(path, 2, word, sizeof word);
    ToolNumber number;
    number.text = word;
    if (word[0] == '\0')
        number.state = ToolNumberState::NOT_LISTED;
    else if (is_decimal_text(word) && strlen(word) <= MAX_TOOL_NUMBER_DIGITS)
        number.state = ToolNumberState::USABLE;
    else
        number.state = ToolNumberState::UNUSABLE;
    if (number.state == ToolNumberState::USABLE)
        number.number = static_cast<int32_t>(atol(word));
    return number;
}

void log_unusable_tool_number(const std::string& mac, const ToolNumber& number, const char* consequence)
{
    log_event_f(LOG_ERROR, 0, "The flash tool lists MAC %s with the adapter number \"%s\", which cannot be used; %s\n",
                log_safe(mac).c_str(), log_safe(number.text).c_str(), consequence);
}
