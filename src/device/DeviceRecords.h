#pragma once
// Records exchanged with the controller library and the driver nodes. These are
// device formats: every offset and width is fixed by the hardware side, so each
// one is pinned below.

#include <cstddef>
#include <cstdint>
#include <cstring>

#pragma pack(push, 1)

// One sample of the display stream: 32 little-endian words.
struct DisplayRecord {
    double bpm1X;              // word 0
    double bpm1Y;              // word 1
    double bpm1I0;             // word 2
    double unused3;            // word 3
    double bpm2X;              // word 4
    double bpm2Y;              // word 5
    double bpm2I0;             // word 6
    float refInPhase;          // word 7, first half: function generator in-phase reference
    float refQuadrature;       // word 7, second half: quadrature reference
    double dac[4];             // words 8-11, volts
    double unused12to23[12];   // words 12-23
    double encoder[2][4];      // words 24-31: [bpm][channel]

    // Word access by index, the way per-BPM code addresses a record (BPM1 word + 4b).
    double word(int w) const
    {
        double v;
        std::memcpy(&v, reinterpret_cast<const unsigned char *>(this) + 8 * w, sizeof v);
        return v;
    }
};

// Snapshot returned by a current meter every acquisition cycle.
struct MeterStatus {
    std::uint8_t reserved0[28];
    double channel4;           // byte 28
    double channel3;           // byte 36
    double channel2;           // byte 44
    double channel1;           // byte 52
    std::uint8_t reserved60[4];

    // Channel k counted from 0 (k = 0 is channel 1).
    double channel(int k) const
    {
        switch (k) {
        case 0: return channel1;
        case 1: return channel2;
        case 2: return channel3;
        default: return channel4;
        }
    }
};

// Currents of meter 1, in reverse channel order: index 3 - k holds channel k (from 0).
struct CurrentReadings {
    double amps[4];
    double channel(int k) const { return amps[3 - k]; }
};

// Record written to the DAC node: the four outputs, then a word that is always 1.
struct DacOutputs {
    // What the outputs can put out; the DAC clips anything beyond.
    static constexpr double MaxVolts = 12.0;

    double volts[4];
    std::uint32_t apply = 1;
    std::uint8_t fill[4] = {0, 0, 0, 0};
};

// One SFP port entry; device id 0 means the port is empty.
struct SfpRecord {
    std::uint16_t deviceId;
    std::uint32_t hwVersion;
    std::uint32_t version;
    std::uint32_t serialNumber;
};

// Statistics block: per BPM b, doubles 9b .. 9b + 8.
struct BpmStats {
    double values[19];

    double xMean(int bpm) const { return values[9 * bpm + 1]; }
    double xStd(int bpm) const { return values[9 * bpm + 2]; }
    double xStd100Hz(int bpm) const { return values[9 * bpm + 3]; }
    double yMean(int bpm) const { return values[9 * bpm + 4]; }
    double yStd(int bpm) const { return values[9 * bpm + 5]; }
    double yStd100Hz(int bpm) const { return values[9 * bpm + 6]; }
};

#pragma pack(pop)

// PID status word returned by getPIDstatus; a negative value is a failed read.
enum PID_Status_Type : int {
    PID_FEEDBACK_OFF = 0,
    PID_FAULT_OUT_OF_ROC = 1,
    PID_BEAM_OFF = 2,
    PID_FEEDBACK_ON = 3,
};

namespace SfpClass {
constexpr std::uint16_t AcquisitionModule = 0x2100;
constexpr std::uint16_t EncoderBox = 0x2300;

inline bool isAcquisitionModule(std::uint16_t id)
{
    const std::uint16_t cls = id & 0xFF00;
    return cls == AcquisitionModule || cls == EncoderBox;
}
inline bool isEncoderBox(std::uint16_t id) { return (id & 0xFF00) == EncoderBox; }
} // namespace SfpClass

static_assert(sizeof(DisplayRecord) == 256, "DisplayRecord is 256 bytes");
static_assert(offsetof(DisplayRecord, bpm1X) == 0);
static_assert(offsetof(DisplayRecord, bpm1Y) == 8);
static_assert(offsetof(DisplayRecord, bpm1I0) == 16);
static_assert(offsetof(DisplayRecord, bpm2X) == 32);
static_assert(offsetof(DisplayRecord, bpm2Y) == 40);
static_assert(offsetof(DisplayRecord, bpm2I0) == 48);
static_assert(offsetof(DisplayRecord, refInPhase) == 56);
static_assert(offsetof(DisplayRecord, refQuadrature) == 60);
static_assert(offsetof(DisplayRecord, dac) == 64);
static_assert(offsetof(DisplayRecord, unused12to23) == 96);
static_assert(offsetof(DisplayRecord, encoder) == 192);
static_assert(offsetof(DisplayRecord, encoder) + 4 * sizeof(double) == 224);

static_assert(sizeof(MeterStatus) == 64, "MeterStatus is 64 bytes");
static_assert(offsetof(MeterStatus, channel4) == 28);
static_assert(offsetof(MeterStatus, channel3) == 36);
static_assert(offsetof(MeterStatus, channel2) == 44);
static_assert(offsetof(MeterStatus, channel1) == 52);

static_assert(sizeof(CurrentReadings) == 32, "CurrentReadings is 32 bytes");

static_assert(sizeof(DacOutputs) == 40, "DacOutputs is 40 bytes");
static_assert(offsetof(DacOutputs, volts) == 0);
static_assert(offsetof(DacOutputs, apply) == 32);

static_assert(sizeof(SfpRecord) == 14, "SfpRecord is 14 bytes");
static_assert(offsetof(SfpRecord, deviceId) == 0);
static_assert(offsetof(SfpRecord, hwVersion) == 2);
static_assert(offsetof(SfpRecord, version) == 6);
static_assert(offsetof(SfpRecord, serialNumber) == 10);

static_assert(sizeof(BpmStats) == 152, "BpmStats is 152 bytes");
