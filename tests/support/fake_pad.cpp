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
    return answer("Close", true);
}

bool FakePad::Open()
{
    return answer("Open", openResult);
}

short FakePad::GetProviderCount()
{
    return answer("GetProviderCount", static_cast<short>(providers.size()));
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
    return answer("ReleaseProvider", true);
}

short FakePad::GetDeviceCount()
{
    return answer("GetDeviceCount", deviceCount);
}

std::int32_t FakePad::GetMinX()
{
    return answer("GetMinX", minX);
}

std::int32_t FakePad::GetMinY()
{
    return answer("GetMinY", minY);
}

std::int32_t FakePad::GetMaxX()
{
    return answer("GetMaxX", maxX);
}

std::int32_t FakePad::GetMaxY()
{
    return answer("GetMaxY", maxY);
}

double FakePad::GetWidthInches()
{
    return answer("GetWidthInches", widthInches);
}

double FakePad::GetHeightInches()
{
    return answer("GetHeightInches", heightInches);
}

bool FakePad::SetDataCallback(PenDataCallback cb)
{
    calls.push_back("SetDataCallback");
    callback = cb;
    return true;
}
