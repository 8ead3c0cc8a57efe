// The driver classes of the sensor family. Most models need nothing beyond their catalog row
// and the family's shared body; the classes below that with a body of their own add their
// model's extras (the MT9 gain registers and clocks, the cooled models' set-point, model codes
// and readout variants). The serial heads, the console camera and product 0x3200 have files of
// their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sensors/SensorFamily.h"

namespace velcor {

// Looks up the catalog row of a class that is known to be in the catalog.
const SensorModel& CatalogRow(const char* className);

// A model driven entirely by its catalog row.
template <const char* Name>
class CSensorOf final : public CSensorFamily {
  public:
    CSensorOf(CControllerBase* controller, uint8_t busAddress)
        : CSensorFamily(controller, busAddress, CatalogRow(Name)) {}
};

namespace sensor_names {
inline constexpr char kICX274[] = "CSensorICX274";
inline constexpr char kPid3090[] = "CSensorPid3090";
inline constexpr char kPid30B0[] = "CSensorPid30B0";
inline constexpr char kPid30C0[] = "CSensorPid30C0";
inline constexpr char kIMX178[] = "CSensorIMX178";
inline constexpr char kIMX174[] = "CSensorIMX174";
inline constexpr char kIMX183[] = "CSensorIMX183";
inline constexpr char kIMX159[] = "CSensorIMX159";
inline constexpr char kPid3130[] = "CSensorPid3130";
inline constexpr char kPid3140[] = "CSensorPid3140";
inline constexpr char kPid3150[] = "CSensorPid3150";
inline constexpr char kPid3170[] = "CSensorPid3170";
inline constexpr char kPid3190[] = "CSensorPid3190";
inline constexpr char kPid31A0[] = "CSensorPid31A0";
inline constexpr char kIMX250[] = "CSensorIMX250";
inline constexpr char kIMX264[] = "CSensorIMX264";
inline constexpr char kIMX252[] = "CSensorIMX252";
inline constexpr char kIMX265[] = "CSensorIMX265";
inline constexpr char kPid31D0[] = "CSensorPid31D0";
inline constexpr char kIMX226[] = "CSensorIMX226";
inline constexpr char kPid3210[] = "CSensorPid3210";
inline constexpr char kPid32B0[] = "CSensorPid32B0";
inline constexpr char kIMX536[] = "CSensorIMX536";
inline constexpr char kIMX487[] = "CSensorIMX487";
inline constexpr char kIMX273[] = "CSensorIMX273";
inline constexpr char kPid3310[] = "CSensorPid3310";
inline constexpr char kPid3320[] = "CSensorPid3320";
inline constexpr char kPid3340[] = "CSensorPid3340";
inline constexpr char kIMX675[] = "CSensorIMX675";
}  // namespace sensor_names

using CSensorICX274 = CSensorOf<sensor_names::kICX274>;
using CSensorPid3090 = CSensorOf<sensor_names::kPid3090>;
using CSensorPid30B0 = CSensorOf<sensor_names::kPid30B0>;
using CSensorPid30C0 = CSensorOf<sensor_names::kPid30C0>;
using CSensorIMX178 = CSensorOf<sensor_names::kIMX178>;
using CSensorIMX174 = CSensorOf<sensor_names::kIMX174>;
using CSensorIMX183 = CSensorOf<sensor_names::kIMX183>;
using CSensorIMX159 = CSensorOf<sensor_names::kIMX159>;
using CSensorPid3130 = CSensorOf<sensor_names::kPid3130>;
using CSensorPid3140 = CSensorOf<sensor_names::kPid3140>;
using CSensorPid3150 = CSensorOf<sensor_names::kPid3150>;
using CSensorPid3170 = CSensorOf<sensor_names::kPid3170>;
using CSensorPid3190 = CSensorOf<sensor_names::kPid3190>;
using CSensorPid31A0 = CSensorOf<sensor_names::kPid31A0>;
using CSensorIMX250 = CSensorOf<sensor_names::kIMX250>;
using CSensorIMX264 = CSensorOf<sensor_names::kIMX264>;
using CSensorIMX252 = CSensorOf<sensor_names::kIMX252>;
using CSensorIMX265 = CSensorOf<sensor_names::kIMX265>;
using CSensorPid31D0 = CSensorOf<sensor_names::kPid31D0>;
using CSensorIMX226 = CSensorOf<sensor_names::kIMX226>;
using CSensorPid3210 = CSensorOf<sensor_names::kPid3210>;
using CSensorPid32B0 = CSensorOf<sensor_names::kPid32B0>;
using CSensorIMX536 = CSensorOf<sensor_names::kIMX536>;
using CSensorIMX487 = CSensorOf<sensor_names::kIMX487>;
using CSensorIMX273 = CSensorOf<sensor_names::kIMX273>;
using CSensorPid3310 = CSensorOf<sensor_names::kPid3310>;
using CSensorPid3320 = CSensorOf<sensor_names::kPid3320>;
using CSensorPid3340 = CSensorOf<sensor_names::kPid3340>;
using CSensorIMX675 = CSensorOf<sensor_names::kIMX675>;

// The Aptina MT9 sensors: a global and four colour gains, each one 16-bit register.
class CSensorMT9 : public CSensorFamily {
  public:
    struct GainRegisters {
        uint16_t global, red, green1, green2, blue;
        uint16_t valueMask;  // 0: the value is written as it is
        uint16_t setBits;
    };

    int32_t SetGlobalGain(int32_t value) override;
    int32_t SetColourGainRed(int32_t value) override;
    int32_t GetColourGainRed(int32_t* value) override;
    int32_t SetColourGainGreen1(int32_t value) override;
    int32_t GetColourGainGreen1(int32_t* value) override;
    int32_t SetColourGainGreen2(int32_t value) override;
    int32_t GetColourGainGreen2(int32_t* value) override;
    int32_t SetColourGainBlue(int32_t value) override;
    int32_t GetColourGainBlue(int32_t* value) override;
    // 1 at 16 MHz, 2 at 80 MHz, 0 at any other pixel clock.
    int32_t GetClockMode(int32_t* mode) override;

  protected:
    CSensorMT9(CControllerBase* controller, uint8_t busAddress, const char* className,
               const GainRegisters& gains);
    // The value in the register's form; the record keeps the caller's value.
    int32_t WriteGain(uint16_t reg, int32_t value, int32_t* field);

  private:
    const GainRegisters& gains_;
};

class CSensorMT9F001 : public CSensorMT9 {
  public:
    CSensorMT9F001(CControllerBase* controller, uint8_t busAddress);

  protected:
    CSensorMT9F001(CControllerBase* controller, uint8_t busAddress, const char* className);
};

class CSensorMT9F002 final : public CSensorMT9F001 {
  public:
    static constexpr uint8_t kAuxFrameControl = 40;
    CSensorMT9F002(CControllerBase* controller, uint8_t busAddress);
    // Restarts the sensor's frame so a capture starts with fresh settings.
    void OnCapture() override;
    void OnCaptureDone() override;
};

class CSensorMT9P001 final : public CSensorMT9 {
  public:
    CSensorMT9P001(CControllerBase* controller, uint8_t busAddress);
};

class CSensorMT9J001 final : public CSensorMT9 {
  public:
    CSensorMT9J001(CControllerBase* controller, uint8_t busAddress);
    // Mode 1 runs the pixel clock at 16 MHz, mode 2 at 80 MHz.
    int32_t SetClockMode(int32_t mode) override;
};

// Product 0x3220: a cooled camera whose thermistor (10 kOhm, B = 3950) the FPGA digitises.
class CSensorPid3220 final : public CSensorFamily {
  public:
    CSensorPid3220(CControllerBase* controller, uint8_t busAddress);

    // The converter code of a temperature, and back; the code is 16 bits.
    static uint16_t SetPointCode(double celsius);
    // False for a code that no temperature gives.
    static bool CodeToCelsius(uint32_t code, double* celsius);

    int32_t IsTemperatureSupported() override;
    int32_t GetTemperature(double* celsius) override;
    int32_t IsSetPointSupported() override;
    int32_t GetSensorTemperature(int32_t* celsius) override;
    int32_t SetTemperatureSetPoint(int32_t celsius) override;
    int32_t SetPoint() const { return setPoint_; }

  private:
    int32_t setPoint_ = 0;
};

// The cooled Sony models: each class serves two products, told apart by the model code,
// whose sensors are mounted the other way round.
class CSensorCooledSony : public CSensorFamily {
  public:
    // The readout variant needs no newer FPGA; applying it does.
    static constexpr uint16_t kApplyVariantFpgaVersion = 4;  // offered above this version

    void SetModelCode(int32_t code) override;

    // The readout variant (IMX990 and IMX991): VariantOpA selects it (a byte), VariantOpB reads
    // the selection back, VariantOpC makes the sensor take it over at the next frame.
    int32_t VariantOpA(int32_t variant) override;
    int32_t VariantOpB(int32_t* variant) override;
    int32_t VariantOpC() override;

  protected:
    CSensorCooledSony(CControllerBase* controller, uint8_t busAddress, const char* className,
                      int32_t firstCode, int32_t secondCode);

  private:
    int32_t firstCode_;
    int32_t secondCode_;
};

class CSensorIMX990 final : public CSensorCooledSony {
  public:
    CSensorIMX990(CControllerBase* controller, uint8_t busAddress);
};

class CSensorIMX991 final : public CSensorCooledSony {
  public:
    CSensorIMX991(CControllerBase* controller, uint8_t busAddress);
    // Refused while bit 15 of the FPGA version is set.
    int32_t Allows16BitOutput() override;
};

class CSensorIMX992 final : public CSensorCooledSony {
  public:
    CSensorIMX992(CControllerBase* controller, uint8_t busAddress);
};

// Builds the family class of that name; null for a name the family does not have.
std::unique_ptr<CSensorBase> MakeFamilySensor(const char* className, CControllerBase* controller,
                                              uint8_t busAddress);

}  // namespace velcor
