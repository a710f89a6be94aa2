#include "datafile/layout/CKVLayoutCAvailTypes.h"

#include <algorithm>

#include <boost/filesystem.hpp>

CKVLayout::CAvailTypes::~CAvailTypes() = default;

CKVLayout::CAvailTypes::CAvailTypes(const CAvailTypes& other) : m_selection(other.m_selection)
{
    m_units.reserve(other.m_units.size());
    for (const auto& unit : other.m_units)
        m_units.push_back(unit->Clone());
}

CKVLayout::CAvailTypes& CKVLayout::CAvailTypes::operator=(const CAvailTypes& other)
{
    if (this != &other) {
        std::vector<std::unique_ptr<CType>> units;
        units.reserve(other.m_units.size());
        for (const auto& unit : other.m_units)
            units.push_back(unit->Clone());
        std::vector<std::pair<int32_t, int32_t>> selection = other.m_selection;
        m_units.swap(units);
        m_selection.swap(selection);
    }
    return *this;
}

int CKVLayout::CAvailTypes::Load(const std::string& folder)
{
    namespace fs = boost::filesystem;
    boost::system::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
            continue;
        boost::system::error_code statusError;
        if (fs::is_regular_file(it->status(statusError)) && !statusError)
            files.push_back(it->path());
    }
    // Directory order differs between file systems; name order keeps the catalogue stable.
    std::sort(files.begin(), files.end());

    int added = 0;
    for (const fs::path& file : files) {
        std::unique_ptr<CType> unit = CreateUnit();
        if (unit->Load(file.string()) < 0)
            continue;
        m_units.push_back(std::move(unit));
        ++added;
    }
    return added;
}

std::unique_ptr<CKVLayout::CType> CKVLayout::CAvailHard::CreateUnit() const
{
    return std::make_unique<CHardware>();
}

std::unique_ptr<CKVLayout::CType> CKVLayout::CAvailAmpl::CreateUnit() const
{
    return std::make_unique<CAmplifier>();
}

std::unique_ptr<CKVLayout::CType> CKVLayout::CAvailMeas::CreateUnit() const
{
    return std::make_unique<CMea>();
}
