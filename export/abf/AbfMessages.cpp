#include "export/abf/AbfMessages.h"

#include <cstdio>
#include <cstring>

namespace {

struct Message
{
    int number;
    const char* text;
};

#define ABF_USER_LIST "There is an error in the User List.\n\n"

const Message kMessages[] = {
    {1001, "File '%s' is of unknown file type."},
    {1002, "INTERNAL ERROR: bad file index."},
    {1003, "INTERNAL ERROR: too many files open."},
    {1004, "Cannot open file '%s'."},
    {1005, "File '%s' has invalid parameters."},
    {1006, "File '%s': error reading data."},
    {1008, "Out of memory reading file '%s'."},
    {1009, "File '%s': error reading synch array."},
    {1010, "File '%s': has a corrupted synch array."},
    {1011, "INTERNAL ERROR: File '%s': episode out of range."},
    {1012, "INTERNAL ERROR: File '%s': invalid channel number."},
    {1013, "File '%s': has an invalid episode size."},
    {1014, "INTERNAL ERROR: file '%s' is read only."},
    {1015, "Insufficient disk space for file '%s'."},
    {1016, "INTERNAL ERROR: File '%s' does not contain any tag information."},
    {1017, "Error reading tag from file '%s'."},
    {1018, "INTERNAL ERROR: No synch array is present in file '%s'."},
    {1019, "Error reading DAC episode from file '%s'."},
    {1020, "INTERNAL ERROR: No waveform defined."},
    {1021, "INTERNAL ERROR: Bad waveform definition."},
    {1022, "INTERNAL ERROR: Bad math channel description."},
    {1023, "Could not create a temporary file."},
    {1025, "No DOS file handles were available - too many files open."},
    {1026, "INTERNAL ERROR: File '%s' does not contain any scope configuration information."},
    {1027, "Error reading scope configuration from file '%s'."},
    {1028, "INTERNAL ERROR: Bad CRC on reading ABF file -- file may be corrupted."},
    {1029, "Data compression is not supported on this platform."},
    {1030, "Error reading delta from file '%s'."},
    {1031, "INTERNAL ERROR: File '%s' does not contain any delta information."},
    {1032, "INTERNAL ERROR: ABFDelta has an unknown parameter ID."},
    {1033, "INTERNAL ERROR: file '%s' is write only."},
    {1034, "INTERNAL ERROR: File '%s' does not contain a statistics window configuration structure."},
    {1035, "INTERNAL ERROR: Error reading statistics window configuration from file '%s'."},
    {1036, "INTERNAL ERROR: Cannot modify raw data files."},
    {1037, "INTERNAL ERROR: Cannot modify math channels."},
    {1041, "The Cyclic Redundancy Code (CRC) validation failed while opening the file."},
    {2001, "Error reading file header."},
    {2002, "Error writing file header."},
    {2003, "Not a valid ABF file."},
    {2004, "Not a valid ABF file."},
    {2005, "The requested Analog IN channel was not sampled."},
    {2006, "The requested epoch is not present."},
    {2007, "No waveform was defined."},
    {2008, "Waveform was defined by a DAC file."},
    {2009, "Out of memory!"},
    {2010, "Invalid sample interval."},
    {2011, "Invalid second sample interval."},
    {2012, "The first and second sampling intervals must be integer multiples of each other."},
    {2013, ABF_USER_LIST "Conditioning trains must be enabled in order to vary this parameter."},
    {2014, ABF_USER_LIST "The conditioning train duration is too long.  Either reduce the duration or "
           "increase the sweep start to start time."},
    {2015, ABF_USER_LIST "The number of pulses in the conditioning train must be between 1 and 10000."},
    {2016, ABF_USER_LIST "The conditioning train baseline duration must be between 0.01 and 10000 ms."},
    {2017, ABF_USER_LIST "The conditioning train baseline level is out of range."},
    {2018, ABF_USER_LIST "The conditioning train post-train duration must be between 0 and 10000 ms."},
    {2019, ABF_USER_LIST "The conditioning train post-train level is out of range."},
    {2020, ABF_USER_LIST "The time between sweep starts is too short."},
    {2021, ABF_USER_LIST "The inactive analog OUT holding level is out of range."},
    {2022, "The user list contains invalid characters or is empty.\n\n"
           "Valid characters are: 0..9 E e + - .\n\n"
           "Valid characters for binary values: 0 1 *."},
    {2023, ABF_USER_LIST "The waveform digital outputs must be enabled in order to vary this parameter."},
    {2024, ABF_USER_LIST "The waveform digital inter-sweep holding level is out of range."},
    {2025, ABF_USER_LIST "P/N leak subtraction must be enabled in order to vary this parameter."},
    {2026, ABF_USER_LIST "The number of P/N leak subtraction sub-sweeps must be between 1 and 8."},
    {2027, ABF_USER_LIST "The waveform epoch requested in the user list must be enabled in order to "
           "vary this parameter."},
    {2028, ABF_USER_LIST "The waveform duration is too long.  Either reduce the waveform duration or "
           "increase the sweep duration."},
    {2029, ABF_USER_LIST "The waveform initial level is out of range."},
    {2030, ABF_USER_LIST "The waveform digital pattern is out of range."},
    {2031, ABF_USER_LIST "The conditioning train step duration must be between 0.01 and 10000 ms."},
    {2032, ABF_USER_LIST "The conditioning train step level is out of range."},
    {2033, "The user list contains invalid characters.\n\n"
           "Valid characters for binary values are: 0 1 *,\n\n"
           "A * is valid for defining a digital train."},
    {1, "Tag #    Time (s)  Episode  Comment"},
    {2, "Tag #    Time (s)   Comment"},
    {3, "<none>"},
    {4, "INTERNAL ERROR: No message string assigned to error %d."},
    {5, "Math"},
    {6, "This version of ABFInfo is out of date."},
};

#undef ABF_USER_LIST

static_assert(sizeof kMessages / sizeof kMessages[0] == 75, "the ABF message table has 75 texts");

// Replaces "%s" by the file name and "%d" by the number. Plain substitution, not printf: a file
// name full of '%' signs stays text.
std::string Expand(const char* text, const char* fileName, int number)
{
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += fileName ? fileName : "";
            ++p;
        } else if (p[0] == '%' && p[1] == 'd') {
            out += std::to_string(number);
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace

const char* AbfMessageText(int error)
{
    for (const Message& message : kMessages)
        if (message.number == error)
            return message.text;
    return nullptr;
}

std::string AbfErrorText(int error, const std::string& fileName, bool* known)
{
    const char* text = AbfMessageText(error);
    if (known)
        *known = text != nullptr;
    if (!text)
        return Expand(AbfMessageText(kAbfNoMessageText), nullptr, error);
    // Texts from 2002 on never name the file.
    return Expand(text, error < 2002 ? fileName.c_str() : nullptr, error);
}

int AbfBuildErrorText(int error, const char* fileName, char* buffer, size_t size)
{
    if (!buffer || size < 2)
        return 0;
    bool known = false;
    const std::string text = AbfErrorText(error, fileName ? fileName : "", &known);
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return known ? 1 : 0;
}
