#include "fake_pad.h"

#include <utility>

std::vector<std::string> FakePad::takeCalls()
{
    return std::exchange(calls, {});
}

const FakePad::Provider* FakePad::provider(short index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= providers.size())
        return nullptr;
    return &providers[static_cast<std::size_t>(index)];
}

bool FakePad::Close()
{
    calls.push_back("Close");
    return true;
}

bool FakePad::Open()
{
    calls.push_back("Open");
    return openResult;
}

short FakePad::GetProviderCount()
{
    calls.push_back("GetProviderCount");
    return static_cast<short>(providers.size());
}

const char* FakePad::GetProviderId(short index)
{
    calls.push_back("GetProviderId(" + std::to_string(index) + ")");
    const Provider* p = provider(index);
    return p ? p->id : nullptr;
}

const char* FakePad::GetProviderName(short index)
{
    calls.push_back("GetProviderName(" + std::to_string(index) + ")");
    const Provider* p = provider(index);
    return p ? p->name : nullptr;
}

bool FakePad::SelectProvider(const char* id)
{
    calls.push_back(std::string("SelectProvider(") + (id ? id : "null") + ")");
    return selectResult;
}

bool FakePad::ReleaseProvider()
{
    calls.push_back("ReleaseProvider");
    return true;
}

short FakePad::GetDeviceCount()
{
    calls.push_back("GetDeviceCount");
    return deviceCount;
}

std::int32_t FakePad::GetMinX()
{
    calls.push_back("GetMinX");
    return minX;
}

std::int32_t FakePad::GetMinY()
{
    calls.push_back("GetMinY");
    return minY;
}

std::int32_t FakePad::GetMaxX()
{
    calls.push_back("GetMaxX");
    return maxX;
}

std::int32_t FakePad::GetMaxY()
{
    calls.push_back("GetMaxY");
    return maxY;
}

double FakePad::GetWidthInches()
{
    calls.push_back("GetWidthInches");
    return widthInches;
}

double FakePad::GetHeightInches()
{
    calls.push_back("GetHeightInches");
    return heightInches;
}

bool FakePad::SetDataCallback(PenDataCallback cb)
{
    calls.push_back("SetDataCallback");
    callback = cb;
    return true;
}
