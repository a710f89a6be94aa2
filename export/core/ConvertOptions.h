#pragma once
// The output options a converter reads: filled by a front end from the settings file and the
// command-line switches or the format dialogs, then handed to the converter.

#include <string>

struct ConvertOptions
{
    int SweepHeader = 0;              // text: a header block before each sweep
    int DigitalEventInitialValue = 0; // text: write the initial value of digital event channels
    int CommentChar = 0;              // text: put CommentCharText in front of every head line
    std::string CommentCharText;      // text: that prefix
    int WriteHeader = 0;              // binary: write the text head before the samples
    int ToSigned = 0;                 // subtract each stream's ADC zero from every raw sample
};
