#include "support/UsbTestbed.h"

#ifdef VELCOR_WITH_UMOCKDEV

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "protocol/UsbProtocol.h"

namespace velcor::testing {
namespace {

using platform::IoRequest;

// Device, configuration, interface and the three bulk endpoints of the bridge.
std::vector<uint8_t> Descriptors(uint16_t vendorId, uint16_t productId) {
    std::vector<uint8_t> d = {18,
                              1,
                              0x00,
                              0x03,
                              0,
                              0,
                              0,
                              9,
                              static_cast<uint8_t>(vendorId),
                              static_cast<uint8_t>(vendorId >> 8),
                              static_cast<uint8_t>(productId),
                              static_cast<uint8_t>(productId >> 8),
                              0x00,
                              0x01,
                              0,
                              0,
                              0,
                              1};
    const uint8_t config[] = {9, 2, 39, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 3, 0xFF, 0, 0, 0};
    d.insert(d.end(), std::begin(config), std::end(config));
    for (uint8_t endpoint : {uint8_t{0x81}, uint8_t{0x83}, uint8_t{0x01}}) {
        const uint8_t e[] = {7, 5, endpoint, 2, 0x00, 0x04, 0};
        d.insert(d.end(), std::begin(e), std::end(e));
    }
    return d;
}

// One URB between its submission and its reaping.
struct Urb {
    uint64_t address;  // the URB in the client's memory
    uint8_t type;
    uint32_t length;
    std::vector<uint8_t> record;  // the driver record the request carries
    std::vector<uint8_t> data;    // direct transfers: the data moved
    std::shared_ptr<IoRequest> request;
    bool done = false;
    int status = 0;
    uint32_t actual = 0;
};

}  // namespace

// One plugged camera: its usbfs node and the URBs in flight.
struct EmulatedPort {
    std::shared_ptr<sim::SimCamera> camera;
    std::string sysPath;
    std::string node;  // /dev/bus/usb/001/00N
    int fifo = -1;     // our end of the node's FIFO
    UMockdevIoctlBase* handler = nullptr;
    std::mutex mutex;
    std::deque<Urb> urbs;
    bool gone = false;
    bool quiet = false;  // the FIFO holds its byte: libusb's poll sleeps

    // Under mutex: URBs whose request completed become reapable; the FIFO follows.
    void Collect() {
        bool reapable = false;
        for (Urb& urb : urbs) {
            uint32_t error = 0;
            uint32_t bytes = 0;
            if (!urb.done && urb.request->Result(&error, &bytes)) {
                urb.done = true;
                if (error == platform::kErrorSuccess) {
                    urb.actual = urb.type == USBDEVFS_URB_TYPE_CONTROL
                                     ? bytes - static_cast<uint32_t>(record::kSize)
                                     : bytes;
                    uint32_t usbStatus;
                    std::memcpy(&usbStatus, urb.record.data() + record::kUsbStatus, 4);
                    urb.status = usbStatus == 0 ? 0 : -EPROTO;
                } else if (error == platform::kErrorDeviceNotConnected) {
                    urb.status = -ESHUTDOWN;
                } else if (error == platform::kErrorOperationAborted) {
                    urb.status = -ECONNRESET;
                } else {
                    urb.status = -EPIPE;  // a stalled endpoint
                }
            }
            reapable |= urb.done;
        }
        char byte = 0;
        if (reapable && quiet) {
            quiet = read(fifo, &byte, 1) != 1;
        } else if (!reapable && !quiet) {
            quiet = write(fifo, &byte, 1) == 1;
        }
    }
};

struct UsbTestbed::Impl {
    UMockdevTestbed* testbed = nullptr;
    std::string root;
    std::map<int, std::unique_ptr<EmulatedPort>> ports;
    // Ports pulled out: their emulation may still be inside a call from the umockdev thread
    // when the next camera takes the port, so they stay until the bus goes.
    std::vector<std::unique_ptr<EmulatedPort>> pulled;

    // The cameras' hardware: the hub's frame thread does this for the hub's cameras.
    std::mutex hardwareMutex;
    std::condition_variable hardwareWake;
    bool stop = false;
    std::thread hardware;

    void HardwareLoop() {
        std::unique_lock lock(hardwareMutex);
        while (!stop) {
            for (auto& [number, port] : ports) {
                port->camera->RunHardware(std::chrono::steady_clock::now());
                std::lock_guard portLock(port->mutex);
                port->Collect();
            }
            hardwareWake.wait_for(lock, std::chrono::milliseconds(1));
        }
    }
};

namespace {

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto* port = static_cast<EmulatedPort*>(user);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    GError* error = nullptr;
    std::lock_guard lock(port->mutex);
    const auto fail = [&](int code) { umockdev_ioctl_client_complete(client, -1, code); };
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, 4, &error);
            if (caps == nullptr) return FALSE;
            const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
            std::memcpy(caps->data, &value, 4);
            umockdev_ioctl_client_complete(client, 0, 0);
            g_object_unref(caps);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_SETINTERFACE:
            if (port->gone) {
                fail(ENODEV);
            } else {
                umockdev_ioctl_client_complete(client, 0, 0);
            }
            return TRUE;
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESET: {
            // The bridge sees the pipe reset or the port reset its driver would pass on.
            if (port->gone) {
                fail(ENODEV);
                return TRUE;
            }
            uint8_t endpoint = 0;
            if (request == USBDEVFS_CLEAR_HALT) {
                UMockdevIoctlData* number = umockdev_ioctl_data_resolve(arg, 0, 4, &error);
                if (number == nullptr) return FALSE;
                endpoint = number->data[0];
                g_object_unref(number);
            }
            const bool pipe = request == USBDEVFS_CLEAR_HALT;
            auto reset = std::make_shared<IoRequest>(3, pipe ? kIoctlResetPipe : kIoctlResetPort,
                                                     &endpoint, pipe ? 1u : 0u, nullptr, 0);
            port->mutex.unlock();
            port->camera->StartIo(reset);
            port->mutex.lock();
            port->Collect();
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER:
            fail(ENODATA);
            return TRUE;
        case USBDEVFS_SUBMITURB: {
            if (port->gone) {
                fail(ENODEV);
                return TRUE;
            }
            UMockdevIoctlData* urbData =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
            if (urbData == nullptr) return FALSE;
            const auto* u = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
            Urb urb;
            urb.address = urbData->client_addr;
            urb.type = u->type;
            urb.length = static_cast<uint32_t>(u->buffer_length);
            UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
                urbData, offsetof(usbdevfs_urb, buffer), urb.length, &error);
            if (buffer == nullptr) {
                g_object_unref(urbData);
                return FALSE;
            }
            if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
                // The setup packet and data stage become the driver's control record.
                const uint8_t* setup = buffer->data;
                const uint32_t dataLength = urb.length - 8;
                urb.record.assign(record::kSize + dataLength, 0);
                std::memcpy(urb.record.data(), setup, 6);
                const uint16_t wLength = static_cast<uint16_t>(dataLength);
                std::memcpy(urb.record.data() + record::kLength, &wLength, 2);
                const uint32_t offset = record::kSize;
                std::memcpy(urb.record.data() + record::kBufferOffset, &offset, 4);
                std::memcpy(urb.record.data() + record::kBufferLength, &dataLength, 4);
                if ((setup[0] & 0x80) == 0) {
                    std::memcpy(urb.record.data() + record::kSize, setup + 8, dataLength);
                }
                urb.request = std::make_shared<IoRequest>(
                    1, kIoctlControlTransfer, urb.record.data(),
                    static_cast<uint32_t>(urb.record.size()), urb.record.data(),
                    static_cast<uint32_t>(urb.record.size()));
            } else {
                urb.record.assign(record::kSize, 0);
                urb.record[record::kEndpoint] = u->endpoint;
                urb.data.assign(buffer->data, buffer->data + urb.length);
                urb.request =
                    std::make_shared<IoRequest>(1, kIoctlDirectTransfer, urb.record.data(),
                                                record::kSize, urb.data.data(), urb.length);
            }
            g_object_unref(buffer);
            g_object_unref(urbData);
            port->urbs.push_back(std::move(urb));
            std::shared_ptr<IoRequest> started = port->urbs.back().request;
            port->mutex.unlock();
            port->camera->StartIo(started);
            port->camera->RunHardware(std::chrono::steady_clock::now());
            port->mutex.lock();
            port->Collect();
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_DISCARDURB: {
            uint64_t address = 0;
            std::memcpy(&address, arg->data, sizeof address);
            for (Urb& urb : port->urbs) {
                if (urb.address == address && !urb.done) {
                    // The bridge keeps a pending read until it is aborted: so does the URB.
                    const uint8_t endpoint = urb.record[record::kEndpoint];
                    auto abort = std::make_shared<IoRequest>(
                        2, kIoctlAbortPipe, const_cast<uint8_t*>(&endpoint), 1, nullptr, 0);
                    port->mutex.unlock();
                    port->camera->StartIo(abort);
                    port->mutex.lock();
                    if (!urb.done && !urb.request->IsComplete()) {
                        urb.request->Complete(platform::kErrorOperationAborted, 0);
                    }
                    port->Collect();
                    umockdev_ioctl_client_complete(client, 0, 0);
                    return TRUE;
                }
            }
            fail(EINVAL);
            return TRUE;
        }
        case USBDEVFS_REAPURBNDELAY:
        case USBDEVFS_REAPURB: {
            port->Collect();
            auto found = port->urbs.begin();
            while (found != port->urbs.end() && !found->done)
                ++found;
            if (found == port->urbs.end()) {
                fail(port->gone ? ENODEV : EAGAIN);
                return TRUE;
            }
            Urb urb = std::move(*found);
            port->urbs.erase(found);
            port->Collect();
            // The client's pointer variable receives the URB; the URB its status and data.
            UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &error);
            if (slot == nullptr) return FALSE;
            std::memcpy(slot->data, &urb.address, sizeof urb.address);
            UMockdevIoctlData* urbData =
                umockdev_ioctl_data_resolve(slot, 0, sizeof(usbdevfs_urb), &error);
            auto* u = reinterpret_cast<usbdevfs_urb*>(urbData->data);
            u->status = urb.status;
            u->actual_length = static_cast<int>(urb.actual);
            if (urb.actual > 0 && (urb.type == USBDEVFS_URB_TYPE_CONTROL || (u->endpoint & 0x80))) {
                UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
                    urbData, offsetof(usbdevfs_urb, buffer), urb.length, &error);
                if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
                    std::memcpy(buffer->data + 8, urb.record.data() + record::kSize, urb.actual);
                } else {
                    std::memcpy(buffer->data, urb.data.data(), urb.actual);
                }
                g_object_unref(buffer);
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            g_object_unref(urbData);
            g_object_unref(slot);
            return TRUE;
        }
        default:
            fail(ENOTTY);
            return TRUE;
    }
}

}  // namespace

UsbTestbed& UsbTestbed::Shared() {
    static UsbTestbed bus;
    return bus;
}

bool UsbTestbed::Available() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

UsbTestbed::UsbTestbed() : impl_(std::make_unique<Impl>()) {
    impl_->testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(impl_->testbed);
    impl_->root = root;
    g_free(root);
    // The bus's device folder is there before any camera, as the root hub's is on a machine.
    g_mkdir_with_parents((impl_->root + "/dev/bus/usb/001").c_str(), 0755);
    impl_->hardware = std::thread([this] { impl_->HardwareLoop(); });
}

UsbTestbed::~UsbTestbed() {
    {
        std::lock_guard lock(impl_->hardwareMutex);
        impl_->stop = true;
    }
    impl_->hardwareWake.notify_all();
    impl_->hardware.join();
    for (auto& [number, port] : impl_->ports) {
        umockdev_testbed_detach_ioctl(impl_->testbed, port->node.c_str(), nullptr);
        g_object_unref(port->handler);
        close(port->fifo);
    }
    for (auto& port : impl_->pulled) {
        g_object_unref(port->handler);
        close(port->fifo);
    }
    g_object_unref(impl_->testbed);
}

std::shared_ptr<sim::SimCamera> UsbTestbed::Plug(const sim::SimCameraConfig& config, int port) {
    auto emulated = std::make_unique<EmulatedPort>();
    // An id the hub never gives: the camera is no camera of the hub.
    emulated->camera = std::make_shared<sim::SimCamera>(100000 + port, config, kFx3InterfaceClass);
    char name[24], node[40], devnum[16], vendor[8], product[8];
    std::snprintf(name, sizeof name, "1-%d", port);
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", port + 1);
    std::snprintf(devnum, sizeof devnum, "%d", port + 1);
    std::snprintf(vendor, sizeof vendor, "%04x", config.vendorId);
    std::snprintf(product, sizeof product, "%04x", config.productId);
    emulated->node = node;
    const std::string devnumLine = std::string(devnum) + "\n";
    gchar* sysPath = umockdev_testbed_add_device(
        impl_->testbed, "usb", name, nullptr,
        // attributes
        "busnum", "1\n", "devnum", devnumLine.c_str(), "idVendor", vendor, "idProduct", product,
        "speed", "5000\n", "bConfigurationValue", "1", "bNumConfigurations", "1", nullptr,
        // properties
        "BUSNUM", "001", "DEVNUM", devnum, "DEVNAME", node, "DEVTYPE", "usb_device", nullptr);
    if (sysPath == nullptr) return nullptr;
    emulated->sysPath = sysPath;
    g_free(sysPath);
    std::vector<uint8_t> descriptors = Descriptors(config.vendorId, config.productId);
    umockdev_testbed_set_attribute_binary(impl_->testbed, emulated->sysPath.c_str(), "descriptors",
                                          descriptors.data(),
                                          static_cast<gint>(descriptors.size()));
    const std::string file = impl_->root + node;
    const std::string folder = file.substr(0, file.rfind('/'));
    g_mkdir_with_parents(folder.c_str(), 0755);
    if (mkfifo(file.c_str(), 0666) != 0 && errno != EEXIST) return nullptr;
    emulated->fifo = open(file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (emulated->fifo < 0) return nullptr;
    // One page: a single byte in the pipe makes it unwritable.
    fcntl(emulated->fifo, F_SETPIPE_SZ, 4096);
    {
        std::lock_guard lock(emulated->mutex);
        emulated->Collect();
    }
    {
        // A camera that was at this port before: its emulation gives the node up.
        std::lock_guard lock(impl_->hardwareMutex);
        auto found = impl_->ports.find(port);
        if (found != impl_->ports.end()) {
            umockdev_testbed_detach_ioctl(impl_->testbed, node, nullptr);
        }
    }
    emulated->handler = umockdev_ioctl_base_new();
    g_signal_connect(emulated->handler, "handle-ioctl", G_CALLBACK(HandleIoctl), emulated.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(impl_->testbed, node, emulated->handler, &error)) {
        std::fprintf(stderr, "attach_ioctl: %s\n", error != nullptr ? error->message : "?");
        if (error != nullptr) g_error_free(error);
        return nullptr;
    }
    auto camera = emulated->camera;
    const std::string sysPathNow = emulated->sysPath;
    {
        std::lock_guard lock(impl_->hardwareMutex);
        auto& slot = impl_->ports[port];
        if (slot != nullptr) impl_->pulled.push_back(std::move(slot));
        slot = std::move(emulated);
    }
    // Adding the device sent its uevent before the descriptors and the node were there: a
    // monitor that read the device then found nothing to read. Now it is complete.
    umockdev_testbed_uevent(impl_->testbed, sysPathNow.c_str(), "add");
    return camera;
}

void UsbTestbed::Unplug(int port) {
    EmulatedPort* emulated = nullptr;
    {
        std::lock_guard lock(impl_->hardwareMutex);
        auto found = impl_->ports.find(port);
        if (found == impl_->ports.end()) return;
        emulated = found->second.get();
    }
    {
        std::lock_guard lock(emulated->mutex);
        if (emulated->gone) return;
        emulated->gone = true;
    }
    emulated->camera->Unplug();
    {
        std::lock_guard lock(emulated->mutex);
        emulated->Collect();
    }
    umockdev_testbed_uevent(impl_->testbed, emulated->sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(impl_->testbed, emulated->sysPath.c_str());
    // The node goes with the device. Its emulation stays attached to answer what libusb still
    // reaps on an open descriptor; a camera plugged in at the port later gets a FIFO of its own.
    unlink((impl_->root + emulated->node).c_str());
}

void UsbTestbed::UnplugAll() {
    std::vector<int> plugged;
    {
        std::lock_guard lock(impl_->hardwareMutex);
        for (auto& [number, port] : impl_->ports) {
            if (!port->gone) plugged.push_back(number);
        }
    }
    for (int port : plugged)
        Unplug(port);
}

}  // namespace velcor::testing

#else  // no umockdev

namespace velcor::testing {
struct UsbTestbed::Impl {};
bool UsbTestbed::Available() {
    return false;
}
UsbTestbed::UsbTestbed() = default;
UsbTestbed::~UsbTestbed() = default;
std::shared_ptr<sim::SimCamera> UsbTestbed::Plug(const sim::SimCameraConfig&, int) {
    return nullptr;
}
void UsbTestbed::Unplug(int) {}
void UsbTestbed::UnplugAll() {}
UsbTestbed& UsbTestbed::Shared() {
    static UsbTestbed bus;
    return bus;
}
}  // namespace velcor::testing

#endif
