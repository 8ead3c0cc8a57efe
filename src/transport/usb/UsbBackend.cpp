#include "transport/usb/UsbBackend.h"

#include <strings.h>

#include <cstdio>

#include "platform/DeviceNotifications.h"
#include "protocol/UsbProtocol.h"

namespace velcor::transport {

UsbBackend* UsbBackend::Instance() {
    static std::unique_ptr<UsbBackend> backend = []() -> std::unique_ptr<UsbBackend> {
        libusb_context* context = nullptr;
        if (libusb_init(&context) != LIBUSB_SUCCESS) return nullptr;
        return std::unique_ptr<UsbBackend>(new UsbBackend(context));
    }();
    return backend.get();
}

UsbBackend::UsbBackend(libusb_context* context) : context_(context) {
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
        hotplug_ =
            libusb_hotplug_register_callback(
                context_,
                static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                LIBUSB_HOTPLUG_NO_FLAGS, kVendorId, LIBUSB_HOTPLUG_MATCH_ANY,
                LIBUSB_HOTPLUG_MATCH_ANY, OnHotplug, this, &hotplugHandle_) == LIBUSB_SUCCESS;
    }
    // The event thread is named so that it can be told from the per-camera threads (it lives as
    // long as the process). Without it no transfer would complete: the port gets no USB side.
    if (!events_.Start([this] { EventLoop(); }, platform::ThreadPriority::Normal, "velcor-usb")) {
        return;
    }
    platform::RegisterDriverBackend(this);
}

UsbBackend::~UsbBackend() {
    platform::UnregisterDriverBackend(this);
    stop_ = 1;
    if (hotplug_) libusb_hotplug_deregister_callback(context_, hotplugHandle_);
    libusb_interrupt_event_handler(context_);
    events_.Join();
    // The devices go after the lock, as everywhere: closing a libusb handle takes libusb's
    // event lock, which is taken before ours when a hot-plug callback runs.
    std::map<std::string, std::shared_ptr<UsbDevice>> devices;
    {
        std::lock_guard lock(mutex_);
        devices.swap(devices_);
    }
    devices.clear();
    UsbDevice::CloseDeferredHandles();
    libusb_exit(context_);
}

void UsbBackend::EventLoop() {
    UsbDevice::MarkEventThread();
    while (stop_.load() == 0)
        libusb_handle_events_completed(context_, reinterpret_cast<int*>(&stop_));
}

void UsbBackend::AddProducts(std::span<const uint16_t> productIds) {
    std::lock_guard lock(mutex_);
    products_.insert(productIds.begin(), productIds.end());
}

std::string UsbBackend::PathOf(libusb_device* device) const {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return {};
    if (descriptor.idVendor != kVendorId) return {};
    {
        std::lock_guard lock(mutex_);
        if (products_.count(descriptor.idProduct) == 0) return {};
    }
    // The instance: the bus and the ports from the root hub down, stable across replugs.
    char text[96];
    int at =
        std::snprintf(text, sizeof text, "\\\\?\\usb#vid_%04x&pid_%04x#b%03u_p",
                      descriptor.idVendor, descriptor.idProduct, libusb_get_bus_number(device));
    uint8_t ports[8];
    const int count = libusb_get_port_numbers(device, ports, sizeof ports);
    if (count <= 0) {
        // No port chain known: the address is the best that is left.
        at += std::snprintf(text + at, sizeof text - at, "a%u", libusb_get_device_address(device));
    }
    for (int i = 0; i < count; ++i)
        at += std::snprintf(text + at, sizeof text - at, i == 0 ? "%u" : ".%u", ports[i]);
    return std::string(text) + "#" + platform::GuidToString(kFx3InterfaceClass);
}

std::vector<std::shared_ptr<UsbDevice>> UsbBackend::Rescan() {
    UsbDevice::CloseDeferredHandles();
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    std::vector<std::shared_ptr<UsbDevice>> present;
    std::vector<std::shared_ptr<UsbDevice>> gone;
    // Devices replaced by a replugged camera go after the lock: the last reference closes the
    // libusb handle, which waits for libusb's event lock, and the event thread may be waiting
    // for this lock in a hot-plug callback.
    std::vector<std::shared_ptr<UsbDevice>> replaced;
    {
        std::map<std::string, libusb_device*> onBus;
        for (ssize_t i = 0; i < count; ++i) {
            std::string path = PathOf(list[i]);
            if (!path.empty()) onBus.emplace(std::move(path), list[i]);
        }
        std::lock_guard lock(mutex_);
        for (auto& [path, device] : devices_) {
            auto found = onBus.find(path);
            if (found == onBus.end() || found->second != device->Device()) {
                if (device->IsPresent()) gone.push_back(device);
            }
        }
        for (auto& [path, libusbDevice] : onBus) {
            auto& slot = devices_[path];
            // A device found lost stays lost while libusb still lists it (its removal may not
            // have reached libusb yet): only a new libusb device, a camera plugged in again,
            // takes the path over.
            if (slot == nullptr || slot->Device() != libusbDevice) {
                // A camera new on the bus, or plugged in again where one was: a device of its own.
                if (slot != nullptr) replaced.push_back(std::move(slot));
                slot = std::make_shared<UsbDevice>(libusbDevice, path, [] {
                    platform::BroadcastDeviceInterfaceChange(kFx3InterfaceClass, false);
                });
            }
            present.push_back(slot);
        }
    }
    if (list != nullptr) libusb_free_device_list(list, 1);
    for (auto& device : gone)
        device->MarkLost();
    return present;
}

std::vector<std::shared_ptr<platform::DriverDevice>> UsbBackend::PresentDevices(
    const platform::GUID& interfaceClass) {
    std::vector<std::shared_ptr<platform::DriverDevice>> devices;
    if (!(interfaceClass == kFx3InterfaceClass)) return devices;
    for (auto& device : Rescan()) {
        if (device->IsPresent()) devices.push_back(device);
    }
    return devices;
}

namespace {
bool SamePath(const std::string& known, std::string_view path) {
    return known.size() == path.size() && strncasecmp(known.data(), path.data(), path.size()) == 0;
}
}  // namespace

std::shared_ptr<platform::DriverDevice> UsbBackend::FindPresentDevice(std::string_view path) {
    {
        std::lock_guard lock(mutex_);
        for (auto& [known, device] : devices_) {
            if (SamePath(known, path) && device->IsPresent()) return device;
        }
    }
    for (auto& device : Rescan()) {
        if (SamePath(device->Path(), path) && device->IsPresent()) return device;
    }
    return nullptr;
}

int LIBUSB_CALL UsbBackend::OnHotplug(libusb_context*, libusb_device* device,
                                      libusb_hotplug_event event, void* self) {
    auto* backend = static_cast<UsbBackend*>(self);
    if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT) {
        // A camera the library never looked at leaves unannounced by a device of ours.
        if (!backend->DeviceLeft(device) && !backend->PathOf(device).empty()) {
            platform::BroadcastDeviceInterfaceChange(kFx3InterfaceClass, false);
        }
    } else if (!backend->PathOf(device).empty()) {
        platform::BroadcastDeviceInterfaceChange(kFx3InterfaceClass, true);
    }
    return 0;  // stay registered
}

bool UsbBackend::DeviceLeft(libusb_device* device) {
    std::shared_ptr<UsbDevice> left;
    {
        std::lock_guard lock(mutex_);
        for (auto& [path, known] : devices_) {
            if (known->Device() == device) left = known;
        }
    }
    if (left == nullptr) return false;
    left->MarkLost();
    return true;
}

}  // namespace velcor::transport
