// A pad whose answers a test sets and which records every call it gets.
#ifndef TESTS_FAKE_PAD_H
#define TESTS_FAKE_PAD_H

#include <VellixTablet.h>

#include <string>
#include <vector>

class FakePad : public VellixTablet {
public:
    struct Provider {
        const char* id;
        const char* name;
    };

    std::vector<Provider> providers{{"A1", "Pen"}, {"B2", "Spare"}};
    bool selectResult = true;
    bool openResult = true;
    short deviceCount = 1;
    std::int32_t minX = 0, minY = 0, maxX = 1000, maxY = 500;
    double widthInches = 3.7433, heightInches = 2.126;

    // Calls in order, e.g. "GetProviderId(0)", "SelectProvider(A1)", "Open".
    std::vector<std::string> calls;
    PenDataCallback callback = nullptr;

    // The calls made since the last take, which are then forgotten.
    std::vector<std::string> takeCalls();

    bool Close() override;
    bool Open() override;
    short GetProviderCount() override;
    const char* GetProviderId(short index) override;
    const char* GetProviderName(short index) override;
    bool SelectProvider(const char* id) override;
    bool ReleaseProvider() override;
    short GetDeviceCount() override;
    std::int32_t GetMinX() override;
    std::int32_t GetMinY() override;
    std::int32_t GetMaxX() override;
    std::int32_t GetMaxY() override;
    double GetWidthInches() override;
    double GetHeightInches() override;
    bool SetDataCallback(PenDataCallback cb) override;

private:
    const Provider* provider(short index) const;

    // Records the call and gives the answer the test set.
    template <typename T>
    T answer(const char* call, T value)
    {
        calls.push_back(call);
        return value;
    }
};

#endif
