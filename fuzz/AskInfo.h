#pragma once
// Asks a stream settings object everything it can answer, whatever its kind, and checks what
// its getters promise; shared by the fuzz targets that make settings objects.

#include <string>

#include "datafile/info/CKVTAChannelToolInfo.h"
#include "datafile/info/CKVTAFilterInfo.h"
#include "datafile/info/CKVTAInfoAverage.h"
#include "datafile/info/CKVTAInfoBurstParameter.h"
#include "datafile/info/CKVTAInfoParam.h"
#include "datafile/info/CKVTAInfoSpike.h"
#include "datafile/info/CKVTAInfoSpikeParameter.h"
#include "datafile/info/CKVTAInfoTrigger.h"
#include "datafile/settings/KvtQuantity.h"
#include "fuzz/FuzzCheck.h"

namespace FuzzInfo {

// Touches every byte of a text, so that a text built from freed or unset memory shows.
inline size_t Touch(const std::string& text)
{
    size_t sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return sum;
}

inline void AskQuantity(const KvtQuantity& q)
{
    Touch(q.name);
    Touch(KvtQuantityUnitText(q.unitKind, q.exponent));
    KvtUnitKindDefaultExponent(q.unitKind);
}

inline void AskSpikeParameter(const CKVTAInfoSpikeParameter& info)
{
    const int count = info.GetParameterCount();
    FUZZ_CHECK(count == static_cast<int>(CMSpikeAnalyzerProperty::kQuantityCount));
    for (int i = -1; i <= count; ++i) {
        const bool inside = i >= 0 && i < count;
        info.IsParameterRecorded(i);
        info.GetParameterField(i);
        Touch(info.GetParameterName(i));
        const KvtQuantity* q = info.GetParameter(i);
        FUZZ_CHECK((q != nullptr) == inside);
        if (q)
            AskQuantity(*q);
    }
    const int units = info.GetSelectedUnitCount();
    FUZZ_CHECK(units == static_cast<int>(CMSpikeAnalyzerProperty::kUnitWordCount));
    FUZZ_CHECK(info.GetSelectedUnit(-1) == -1 && info.GetSelectedUnit(units) == -1);
    for (int i = 0; i < units; ++i)
        info.GetSelectedUnit(i);
    info.GetDigitalValue();
    Touch(info.GetInputStreamName());
}

inline void AskParam(const CKVTAInfoParam& info)
{
    const int count = CKVTAInfoParam::GetQuantityCount();
    FUZZ_CHECK(info.GetQuantity(-1) == nullptr && info.GetQuantity(count) == nullptr);
    for (int i = 0; i < count; ++i) {
        const KvtQuantity* q = info.GetQuantity(i);
        FUZZ_CHECK(q != nullptr);
        AskQuantity(*q);
        info.IsQuantityRecorded(i);
        info.GetOutputPosition(i);
    }
    info.GetBytesPerChannel();
    Touch(info.GetInputStreamText());
    Touch(info.GetAnalyzer().m_secondText);
}

// Every getter of the object's kind; NULL is allowed.
inline void AskEverything(const CKVTAInfo* info)
{
    if (const auto* t = dynamic_cast<const CKVTAInfoTrigger*>(info)) {
        t->GetInputHwid();
        t->GetLevel();
        t->GetSlope();
        t->GetDeadTime();
        t->GetSourceKind();
        t->IsDigitalTrigger();
        t->GetDigitalValue();
        t->GetDigitalMask();
        t->GetDigitalType();
        t->IsParameterTrigger();
        Touch(t->GetParameterName());
        Touch(t->GetParameterUnit());
        t->GetExtraFlag();
        Touch(t->GetInputStreamName());
    } else if (const auto* s = dynamic_cast<const CKVTAInfoSpike*>(info)) {
        s->GetPreTrigger();
        s->GetPostTrigger();
        s->GetDeadTime();
        s->GetPreTriggerSeconds();
        s->GetPostTriggerSeconds();
        const int units = s->GetSelectedUnitCount();
        FUZZ_CHECK(units >= 0);
        FUZZ_CHECK(s->GetSelectedUnit(-1) == -1);
        if (units <= INT16_MAX)
            FUZZ_CHECK(s->GetSelectedUnit(static_cast<int16_t>(units)) == -1);
        int previous = -1;
        for (int i = 0; i < units && i <= INT16_MAX; ++i) {
            const int unit = s->GetSelectedUnit(static_cast<int16_t>(i));
            FUZZ_CHECK(unit > previous);   // ascending, as promised
            previous = unit;
        }
        Touch(s->GetInputStreamName());
    } else if (const auto* b = dynamic_cast<const CKVTAInfoBurstParameter*>(info)) {
        AskSpikeParameter(*b);
        b->GetBurstSettings();
    } else if (const auto* p = dynamic_cast<const CKVTAInfoSpikeParameter*>(info)) {
        AskSpikeParameter(*p);
    } else if (const auto* a = dynamic_cast<const CKVTAInfoAverage*>(info)) {
        a->GetWindowTime1();
        Touch(a->GetSettings().m_text);
    } else if (const auto* f = dynamic_cast<const CKVTAFilterInfo*>(info)) {
        const int design = f->GetDesignIndex();
        FUZZ_CHECK(design >= 0 && design < static_cast<int>(kFilterTypeCount));
        f->IsSavitzkyGolay();
        f->GetCutoffFrequency();
        f->GetCenterFrequency();
        f->GetQFactor();
        f->GetOrder();
        f->GetNumPoints();
        FUZZ_CHECK(f->GetPassKindText() != nullptr);
        Touch(f->GetDesignName());
        for (const std::string& text : f->m_firstTexts)
            Touch(text);
        for (const std::string& text : f->m_secondTexts)
            Touch(text);
    } else if (const auto* c = dynamic_cast<const CKVTAChannelToolInfo*>(info)) {
        Touch(c->GetInputStreamName());
        Touch(c->GetReferenceChannel());
    } else if (const auto* q = dynamic_cast<const CKVTAInfoParam*>(info)) {
        AskParam(*q);
    } else {
        FUZZ_CHECK(info == nullptr);   // no other kind exists
    }
}

} // namespace FuzzInfo
