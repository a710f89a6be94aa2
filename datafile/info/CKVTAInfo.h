#pragma once
// Common base of the per-stream settings objects that a stream creates on request.

class CKVTAInfo
{
public:
    virtual ~CKVTAInfo() = default;

protected:
    CKVTAInfo() = default;
    CKVTAInfo(const CKVTAInfo&) = default;
    CKVTAInfo& operator=(const CKVTAInfo&) = default;
};
