#pragma once
// Settings object of a "filter" stream: the filter settings themselves.

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/CMFilterProperty.h"

class CKVTAFilterInfo : public CKVTAInfo, public CMFilterProperty
{
};
