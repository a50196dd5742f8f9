#pragma once

#include <cstddef>

// The question is built in a buffer of this size.
constexpr size_t QUESTION_SIZE = 4096;

// Judges the adapter at index and, unless silent, asks the operator.
// Accepted: NIC_UPDATE set (and RUN_ACCEPTED); declined or quit: flags
// cleared (quit also sets RUN_USER_QUIT). Returns 0 when judged, FWUPG_ERR
// when the adapter has no known ROM version or no image.
int select_firmware(int index);

// Compares installed and available versions, logs a warning when the image
// is not newer, and asks with the defaults that follow. Returns an answer.
int is_FW_needed(int index);

// Writes the update question for the adapter at index, cut at size.
void fw_version_message(char* buffer, size_t size, int index);
