#include "engine/input/DirectInputDevice.h"

DirectInputDevice::~DirectInputDevice()
{
    if (m_device != nullptr)
        m_device->Unacquire();
}
