#pragma once
// Catalogues of unit descriptions, each loaded from the "*.txt" files of a folder.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "datafile/layout/CKVLayout.h"
#include "datafile/layout/CKVLayoutCType.h"

class CKVLayout::CAvailTypes
{
public:
    CAvailTypes() = default;
    virtual ~CAvailTypes();
    // Copies hold copies of the units and of the selection.
    CAvailTypes(const CAvailTypes& other);
    CAvailTypes& operator=(const CAvailTypes& other);

    // Loads every regular file of `folder` whose name ends in ".txt" (exactly so, case
    // sensitive) as a unit of this catalogue's kind, in file-name order, and appends the units
    // that parse; files that do not are skipped. A folder that is missing or cannot be read
    // adds nothing. Returns the number of units added. Throws nothing but bad_alloc.
    virtual int Load(const std::string& folder);

    size_t GetCount() const { return m_units.size(); }
    const CType* GetUnit(size_t i) const { return i < m_units.size() ? m_units[i].get() : nullptr; }

    // Selected entries: pairs of numbers that the catalogue carries for its owner.
    std::vector<std::pair<int32_t, int32_t>>& GetSelection() { return m_selection; }

protected:
    virtual std::unique_ptr<CType> CreateUnit() const = 0;

private:
    std::vector<std::unique_ptr<CType>> m_units;
    std::vector<std::pair<int32_t, int32_t>> m_selection;
};

class CKVLayout::CAvailHard : public CAvailTypes
{
protected:
    std::unique_ptr<CType> CreateUnit() const override;
};

class CKVLayout::CAvailAmpl : public CAvailTypes
{
protected:
    std::unique_ptr<CType> CreateUnit() const override;
};

class CKVLayout::CAvailMeas : public CAvailTypes
{
protected:
    std::unique_ptr<CType> CreateUnit() const override;
};
