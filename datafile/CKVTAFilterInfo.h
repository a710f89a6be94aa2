#pragma once
// Settings object of a "filter" stream: the filter settings themselves.

#include "datafile/CKVTAInfo.h"
#include "datafile/CMFilterProperty.h"

class CKVTAFilterInfo : public CKVTAInfo, public CMFilterProperty
{
};
