// Interface of the pen pad library libVellixTablet.so.
//
// The program includes only this header and links the library by name, so any
// library that keeps this class layout (virtual table order, argument and
// result types) can be put in its place. Integers that the pad's protocol
// defines as 32-bit are written as fixed-width types so that the layout is the
// same on 32-bit and 64-bit builds.
#ifndef VELLIX_TABLET_H
#define VELLIX_TABLET_H

#include <cstdint>

// Called for every pen sample, possibly on a thread of the library's own:
// x, y, pressure, contact (bit 0 set while the pen touches the pad), buttons,
// status, timestamp in milliseconds, running sample number.
typedef void (*PenDataCallback)(std::int32_t x, std::int32_t y, std::int32_t pressure,
                                unsigned char contact, unsigned char buttons,
                                std::int32_t status, std::uint32_t timestamp,
                                std::uint32_t sequence);

// One pen pad library session: enumerates providers, selects one, opens its
// device and delivers pen samples through the registered callback.
//
// The virtual functions are declared in the library's table order; the
// Reserved slots keep places the program never calls. State lives behind one
// opaque pointer so that the object's size does not depend on the
// implementation that is linked.
class VellixTablet {
public:
    VellixTablet();
    virtual ~VellixTablet();

    virtual bool Close();
    virtual bool Open();
    virtual short GetProviderCount();
    virtual const char* GetProviderId(short index);
    virtual const char* GetProviderName(short index);
    virtual void Reserved1();
    virtual bool SelectProvider(const char* id);
    virtual bool ReleaseProvider();
    virtual void Reserved2();
    virtual void Reserved3();
    virtual short GetDeviceCount();
    virtual void Reserved4();
    virtual std::int32_t GetMinX();
    virtual std::int32_t GetMinY();
    virtual void Reserved5();
    virtual std::int32_t GetMaxX();
    virtual std::int32_t GetMaxY();
    virtual void Reserved6();
    virtual void Reserved7();
    virtual double GetWidthInches();
    virtual double GetHeightInches();
    virtual void Reserved8();
    virtual void Reserved9();
    virtual bool SetDataCallback(PenDataCallback callback);

    VellixTablet(const VellixTablet&) = delete;
    VellixTablet& operator=(const VellixTablet&) = delete;

private:
    class Impl;
    Impl* impl_;
};

#endif
