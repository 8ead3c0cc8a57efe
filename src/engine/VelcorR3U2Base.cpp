// The engine as it answers before a controller and a sensor driver are attached: every
// operation that needs one of them fails, queries without a value answer -1.
#include "engine/VelcorR3U2Base.h"

namespace velcor {

CVelcorR3U2Base::~CVelcorR3U2Base() = default;

int CVelcorR3U2Base::InitializeController(HWND, const platform::GUID*) {
    return 0;
}
int CVelcorR3U2Base::CameraStartUp() {
    return 0;
}
int CVelcorR3U2Base::Shutdown() {
    return 1;
}
int CVelcorR3U2Base::ReadDeviceInfo(uint8_t*) {
    return 0;
}
int CVelcorR3U2Base::GetSensorInfo(SensorInfo*) {
    return 0;
}
int CVelcorR3U2Base::ReadDeviceInfo2(uint8_t*) {
    return 0;
}
int CVelcorR3U2Base::Reopen(int) {
    return -1;
}
int CVelcorR3U2Base::OpenDevice(int) {
    return 0;
}
int CVelcorR3U2Base::SpareA() {
    return 0;
}
int CVelcorR3U2Base::IsDevicePresent(int) {
    return 0;
}
int CVelcorR3U2Base::CountDevices(int) {
    return 0;
}
int CVelcorR3U2Base::GetDeviceName(int, char*) {
    return 0;
}
int CVelcorR3U2Base::SetProductId(int) {
    return 0;
}
int CVelcorR3U2Base::GetProductId() {
    return -1;
}
int CVelcorR3U2Base::GetEntryVendorId(int) {
    return 0;
}
int CVelcorR3U2Base::GetEntryProductId(int) {
    return 0;
}
int CVelcorR3U2Base::GetEntryInstance(int) {
    return -1;
}
int CVelcorR3U2Base::IsEndpoint83Model() {
    return 0;
}
int CVelcorR3U2Base::GetDeviceNumber() {
    return 0;
}
int CVelcorR3U2Base::StartTransfer(int) {
    return 0;
}
int CVelcorR3U2Base::StopTransfer() {
    return 0;
}
int CVelcorR3U2Base::CopyFrame(uint8_t*, int, int, int) {
    return 0;
}
int CVelcorR3U2Base::SetTransferMode(int) {
    return 0;
}
int CVelcorR3U2Base::ResetTransfer() {
    return 0;
}
int CVelcorR3U2Base::AcquisitionLoop() {
    return 0;
}
int CVelcorR3U2Base::AcquisitionLoop83() {
    return 0;
}
int CVelcorR3U2Base::AcquisitionLoopMemory() {
    return 0;
}
int CVelcorR3U2Base::ConfigureFrameBuffers() {
    return 0;
}
int CVelcorR3U2Base::GetMaxDevices() {
    return 32;
}
int CVelcorR3U2Base::LatchFrameCounter() {
    return 0;
}
int CVelcorR3U2Base::SnapFrame() {
    return 0;
}
int CVelcorR3U2Base::SpareB() {
    return -1;
}
int CVelcorR3U2Base::ReadSnapFrame(uint8_t*, int, int) {
    return -2;
}
int CVelcorR3U2Base::SetFrameTimeout(uint32_t) {
    return 0;
}
int CVelcorR3U2Base::WaitFrame(uint32_t) {
    return 0;
}
int CVelcorR3U2Base::ReadFrame(uint8_t*, int, int) {
    return 0;
}
int CVelcorR3U2Base::SpareC() {
    return 0;
}
int CVelcorR3U2Base::SetBitDepthMode(int) {
    return 0;
}
int CVelcorR3U2Base::SetClockMode(int) {
    return 0;
}
int CVelcorR3U2Base::GetClockMode(int*) {
    return 0;
}
int CVelcorR3U2Base::ApplyWindow(int, int, int, int, int) {
    return 0;
}
int CVelcorR3U2Base::GetWindowInForce(int*, int*, int*, int*, int*) {
    return 0;
}
int CVelcorR3U2Base::SetMirrorH(int) {
    return 0;
}
int CVelcorR3U2Base::SetMirrorV(int) {
    return 0;
}
int CVelcorR3U2Base::GetMirrorH(int*) {
    return 0;
}
int CVelcorR3U2Base::GetMirrorV(int*) {
    return 0;
}
int CVelcorR3U2Base::GetMirrorVDefault() {
    return 0;
}
int CVelcorR3U2Base::GetMirrorHDefault() {
    return 0;
}
int CVelcorR3U2Base::HasMirrorVHardware() {
    return 0;
}
int CVelcorR3U2Base::HasMirrorHHardware() {
    return 0;
}
int CVelcorR3U2Base::SetTriggerMode(int, int) {
    return 0;
}
int CVelcorR3U2Base::GetTriggerMode() {
    return 0;
}
int CVelcorR3U2Base::WriteEeprom(uint16_t, uint8_t) {
    return 0;
}
int CVelcorR3U2Base::ReadEeprom(uint16_t, uint8_t*) {
    return 0;
}
int CVelcorR3U2Base::IsHWindowSupported() {
    return 0;
}
int CVelcorR3U2Base::IsVWindowSupported() {
    return 0;
}
int CVelcorR3U2Base::GetFullWidth() {
    return 0;
}
int CVelcorR3U2Base::GetFullHeight() {
    return 0;
}
int CVelcorR3U2Base::GetDefaultWidth() {
    return 0;
}
int CVelcorR3U2Base::GetDefaultHeight() {
    return 0;
}
int CVelcorR3U2Base::GetDefaultX() {
    return 0;
}
int CVelcorR3U2Base::GetDefaultY() {
    return 0;
}
int CVelcorR3U2Base::SetGlobalGain(int) {
    return 0;
}
int CVelcorR3U2Base::GetGlobalGain() {
    return 0;
}
int CVelcorR3U2Base::GetGlobalGainMin() {
    return 0;
}
int CVelcorR3U2Base::GetGlobalGainMax() {
    return 0;
}
int CVelcorR3U2Base::GetGlobalGainDefault() {
    return 0;
}
int CVelcorR3U2Base::SetExposure(uint32_t) {
    return 0;
}
int CVelcorR3U2Base::GetExposure() {
    return 0;
}
int CVelcorR3U2Base::GetExposureMin() {
    return 0;
}
int CVelcorR3U2Base::GetExposureMax() {
    return 0;
}
int CVelcorR3U2Base::GetExposureDefault() {
    return 0;
}
int CVelcorR3U2Base::SetExposureLines(int) {
    return 0;
}
int CVelcorR3U2Base::GetExposureLines() {
    return 0;
}
int CVelcorR3U2Base::GetExposureLinesMin() {
    return 0;
}
int CVelcorR3U2Base::GetExposureLinesMax() {
    return 0;
}
int CVelcorR3U2Base::GetExposureLinesDefault() {
    return 0;
}
int CVelcorR3U2Base::IsExposureSecondsSupported() {
    return 0;
}
int CVelcorR3U2Base::SetExposureSeconds(double) {
    return 0;
}
int CVelcorR3U2Base::GetExposureSeconds(double*) {
    return 0;
}
int CVelcorR3U2Base::GetExposureSecondsMin(double*) {
    return 0;
}
int CVelcorR3U2Base::GetExposureSecondsMax(double*) {
    return 0;
}
int CVelcorR3U2Base::GetExposureSecondsDefault(double*) {
    return 0;
}
int CVelcorR3U2Base::SetChannelGain(int, int) {
    return 0;
}
int CVelcorR3U2Base::GetChannelGain(int) {
    return 0;
}
int CVelcorR3U2Base::GetChannelGainMin() {
    return 0;
}
int CVelcorR3U2Base::GetChannelGainMax() {
    return 0;
}
int CVelcorR3U2Base::GetChannelGainDefault() {
    return 0;
}
int CVelcorR3U2Base::SetChannelOffset(int, int) {
    return 0;
}
int CVelcorR3U2Base::GetChannelOffset(int) {
    return 0;
}
int CVelcorR3U2Base::GetChannelOffsetMin() {
    return 0;
}
int CVelcorR3U2Base::GetChannelOffsetMax() {
    return 0;
}
int CVelcorR3U2Base::GetChannelOffsetDefault() {
    return 0;
}
int CVelcorR3U2Base::SetColourGainRed(int) {
    return 0;
}
int CVelcorR3U2Base::GetColourGainRed() {
    return 0;
}
int CVelcorR3U2Base::SetColourGainGreen1(int) {
    return 0;
}
int CVelcorR3U2Base::GetColourGainGreen1() {
    return 0;
}
int CVelcorR3U2Base::SetColourGainGreen2(int) {
    return 0;
}
int CVelcorR3U2Base::GetColourGainGreen2() {
    return 0;
}
int CVelcorR3U2Base::SetColourGainBlue(int) {
    return 0;
}
int CVelcorR3U2Base::GetColourGainBlue() {
    return 0;
}
int CVelcorR3U2Base::GetColourGainMin() {
    return 0;
}
int CVelcorR3U2Base::GetColourGainMax() {
    return 0;
}
int CVelcorR3U2Base::GetColourGainDefault() {
    return 0;
}
int CVelcorR3U2Base::IsBlackLevelSupported() {
    return 0;
}
int CVelcorR3U2Base::SetBlackLevel(int) {
    return 0;
}
int CVelcorR3U2Base::GetBlackLevel(int*) {
    return 0;
}
int CVelcorR3U2Base::GetBlackLevelMin() {
    return 0;
}
int CVelcorR3U2Base::GetBlackLevelMax() {
    return 0;
}
int CVelcorR3U2Base::GetBlackLevelDefault() {
    return 0;
}
int CVelcorR3U2Base::WriteSensorRegister(int, int, int) {
    return 0;
}
int CVelcorR3U2Base::ReadSensorRegister(int, int, int*) {
    return 0;
}
int CVelcorR3U2Base::WriteFpgaRegister(int, int) {
    return 0;
}
int CVelcorR3U2Base::ReadFpgaRegister(int, int*) {
    return 0;
}
int CVelcorR3U2Base::SpareD() {
    return 0;
}
int CVelcorR3U2Base::SpareE() {
    return 0;
}
int CVelcorR3U2Base::OnCapture() {
    return 0;
}
int CVelcorR3U2Base::OnCaptureDone() {
    return 0;
}
int CVelcorR3U2Base::SetSamplingRate(int, int, int*) {
    return 0;
}
int CVelcorR3U2Base::IsGainModeSupported() {
    return 0;
}
int CVelcorR3U2Base::SetGainMode(int) {
    return 0;
}
int CVelcorR3U2Base::GetGainMode() {
    return -1;
}
int CVelcorR3U2Base::WriteEepromByte1080(uint8_t) {
    return 0;
}
int CVelcorR3U2Base::ReadEepromByte1080(uint8_t*) {
    return 0;
}
int CVelcorR3U2Base::IsFpgaSwitchSupported() {
    return 0;
}
int CVelcorR3U2Base::GetFpgaSwitch() {
    return 0;
}
int CVelcorR3U2Base::SetFpgaSwitch(int) {
    return 0;
}
int CVelcorR3U2Base::IsFpgaValueSupported() {
    return 0;
}
int CVelcorR3U2Base::SetFpgaValue(uint16_t) {
    return 0;
}
int CVelcorR3U2Base::GetFpgaValue(uint16_t*) {
    return 0;
}
int CVelcorR3U2Base::QueryReserved() {
    return 0;
}
int CVelcorR3U2Base::GetFpgaValueMax() {
    return 0;
}
int CVelcorR3U2Base::ReceiveText(char*, int) {
    return 0;
}
int CVelcorR3U2Base::SendText(const char*, int) {
    return 0;
}
int CVelcorR3U2Base::IsCoolerSupported() {
    return 0;
}
int CVelcorR3U2Base::GetCooler() {
    return 0;
}
int CVelcorR3U2Base::SetCooler(int) {
    return 0;
}
int CVelcorR3U2Base::IsTemperatureSupported() {
    return 0;
}
int CVelcorR3U2Base::GetTemperature(double*) {
    return 0;
}
int CVelcorR3U2Base::IsSwitchASupported() {
    return 0;
}
int CVelcorR3U2Base::GetSwitchA() {
    return 0;
}
int CVelcorR3U2Base::SetSwitchA(int) {
    return 0;
}
int CVelcorR3U2Base::IsAuxSwitchSupported() {
    return 0;
}
int CVelcorR3U2Base::GetAuxSwitch() {
    return 0;
}
int CVelcorR3U2Base::SetAuxSwitch(void*) {
    return 0;
}
int CVelcorR3U2Base::IsSetPointSupported() {
    return 0;
}
int CVelcorR3U2Base::SpareOpA() {
    return 0;
}
int CVelcorR3U2Base::SpareOpB() {
    return 0;
}
int CVelcorR3U2Base::GetSensorTemperature(double*) {
    return 0;
}
int CVelcorR3U2Base::SetTemperatureSetPoint(int) {
    return 0;
}
int CVelcorR3U2Base::VariantInfoA() {
    return 0;
}
int CVelcorR3U2Base::VariantInfoB() {
    return 0;
}
int CVelcorR3U2Base::VariantOpA() {
    return 0;
}
int CVelcorR3U2Base::VariantOpB() {
    return 0;
}
int CVelcorR3U2Base::VariantOpC() {
    return 0;
}
int CVelcorR3U2Base::IsFixedExposureSupported() {
    return 0;
}
int CVelcorR3U2Base::GetFixedExposure(int*) {
    return 0;
}
int CVelcorR3U2Base::SetFixedExposure(int) {
    return 0;
}
int CVelcorR3U2Base::IsGainStepSupported() {
    return 0;
}
int CVelcorR3U2Base::GetGainStepMin() {
    return 0;
}
int CVelcorR3U2Base::GetGainStepMax() {
    return 0;
}
int CVelcorR3U2Base::GetGainStepDefault() {
    return 0;
}
int CVelcorR3U2Base::GetGainStep() {
    return 0;
}
int CVelcorR3U2Base::SetGainStep(int) {
    return 0;
}
int CVelcorR3U2Base::GetGainStepLabel(int, char*) {
    return 0;
}
int CVelcorR3U2Base::IsSwitchBSupported() {
    return 0;
}
int CVelcorR3U2Base::SetSwitchB(int) {
    return 0;
}
int CVelcorR3U2Base::GetSwitchB() {
    return 0;
}
int CVelcorR3U2Base::Allows8BitOutput() {
    return 0;
}
int CVelcorR3U2Base::Allows16BitOutput() {
    return 0;
}
int CVelcorR3U2Base::IsColourSensor() {
    return 0;
}

}  // namespace velcor
