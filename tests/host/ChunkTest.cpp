#include <gtest/gtest.h>

#include <cstring>

#include "host/rtas/format/PlugInChunk.h"
#include "tests/host/AdapterTestSupport.h"

namespace {

class ChunkTest : public AdapterTest {
  protected:
    void SetUp() override {
        AdapterTest::SetUp();
        mInstance = Make(2);
        ASSERT_TRUE(mInstance);
        mProcess = Process(*mInstance);
        mPlug = Plug(*mInstance);
    }

    std::vector<unsigned char> Save() {
        std::vector<unsigned char> chunk;
        std::string error;
        EXPECT_TRUE(mInstance->SaveChunk(&chunk, &error)) << error;
        return chunk;
    }

    std::vector<double> Values() const {
        std::vector<double> values;
        for (int i = 0; i < mPlug->NParams(); ++i) values.push_back(mPlug->GetParam(i)->Value());
        return values;
    }

    std::unique_ptr<rtashost::Instance> mInstance;
    IPlugProcess* mProcess = nullptr;
    TestPlug* mPlug = nullptr;
    const OSType kID = FourCharCode("TPLG");
};

TEST_F(ChunkTest, OneChunkUnderThePlugInCode) {
    int32_t n = 0;
    EXPECT_EQ(mProcess->GetNumChunks(&n), kNoErr);
    EXPECT_EQ(n, 1);
    OSType id = 0;
    EXPECT_EQ(mProcess->GetIndexedChunkID(1, &id), kNoErr);
    EXPECT_EQ(id, kID);
    EXPECT_EQ(mProcess->GetIndexedChunkID(0, &id), kChunkRangeErr);
    EXPECT_EQ(mProcess->GetIndexedChunkID(2, &id), kChunkRangeErr);
    int32_t size = 0;
    EXPECT_EQ(mProcess->GetChunkSize(kID, &size), kNoErr);
    EXPECT_EQ(size, 56 + 8 * kNumTestParams);
    EXPECT_EQ(mProcess->GetChunkSize(FourCharCode("QXR5"), &size), kChunkRangeErr);
}

TEST_F(ChunkTest, HeaderCarriesTheSizeAndTheStateFollowsIt) {
    mPlug->GetParam(kGain)->Set(-7.5);
    const auto chunk = Save();
    ASSERT_EQ(chunk.size(), 56u + 8u * kNumTestParams);
    EXPECT_EQ(ReadChunkField(chunk.data(), 0), static_cast<int32_t>(chunk.size()));
    EXPECT_EQ(static_cast<OSType>(ReadChunkField(chunk.data(), 20)), kID);
    double gain = 0.0;
    std::memcpy(&gain, chunk.data() + 56 + 8 * kGain, 8);
    EXPECT_EQ(gain, -7.5);

    // Foreign ID, or too little room, writes nothing.
    std::vector<unsigned char> small(chunk.size() - 1, 0xAB);
    EXPECT_EQ(mProcess->GetChunk(kID, small.data(), static_cast<int32_t>(small.size())), kChunkRangeErr);
    EXPECT_EQ(small[0], 0xAB);
    std::vector<unsigned char> big(chunk.size(), 0xAB);
    EXPECT_EQ(mProcess->GetChunk(FourCharCode("XXXX"), big.data(), static_cast<int32_t>(big.size())),
              kChunkRangeErr);
    EXPECT_EQ(big[0], 0xAB);
}

// A restored state, the host's settings chunk or a preset, shows in the editor as a host's change does.
TEST_F(ChunkTest, RestoredStateReachesTheEditor) {
    mPlug->GetParam(kGain)->Set(-33.3);
    const auto chunk = Save();
    auto second = Make(2);
    ASSERT_TRUE(second);
    TestPlug* plug2 = Plug(*second);
    const double shown = plug2->GetGainProbe()->GetValue();
    EXPECT_EQ(second->RestoreChunk(chunk), kNoErr);
    EXPECT_NE(plug2->GetGainProbe()->GetValue(), shown);
    EXPECT_DOUBLE_EQ(plug2->GetGainProbe()->GetValue(), plug2->GetParam(kGain)->GetNormalized());
}

TEST_F(ChunkTest, StateRestoredIntoASecondInstanceReproducesEveryParameter) {
    mPlug->GetParam(kPower)->Set(0.0);
    mPlug->GetParam(kCount)->Set(4.0);
    mPlug->GetParam(kMode)->Set(2.0);
    mPlug->GetParam(kGain)->Set(-33.3);
    mPlug->GetParam(kOutLevel)->Set(-18.2);
    mPlug->GetParam(kHidden)->Set(9.0);
    const auto chunk = Save();

    auto second = Make(2);
    ASSERT_TRUE(second);
    TestPlug* plug2 = Plug(*second);
    plug2->mParamChanges.clear();
    const uint32_t before = second->GetStateChangeCounter();
    EXPECT_EQ(second->RestoreChunk(chunk), kNoErr);
    for (int i = 0; i < kNumTestParams; ++i) EXPECT_EQ(plug2->GetParam(i)->Value(), Values()[i]) << i;
    EXPECT_EQ(plug2->mParamChanges.size(), static_cast<size_t>(kNumTestParams));
    EXPECT_EQ(second->GetStateChangeCounter(), before + 1);
    // The host controls follow the restored values.
    EXPECT_EQ(second->GetControlNumber(kPower + 2), 0.0);
    EXPECT_EQ(second->GetControlNumber(kCount + 2), 4.0);
    EXPECT_EQ(second->GetControlText(kMode + 2), "Hard");
    EXPECT_NEAR(second->GetControlNumber(kGain + 2), -33.3, 1e-6);
    EXPECT_EQ(Process(*second)->GetControl(kGain + 2)->GetValue(), second->GetControlValue(kGain + 2));

    bool equal = false;
    EXPECT_EQ(second->CompareChunk(chunk, &equal), kNoErr);
    EXPECT_TRUE(equal);
}

TEST_F(ChunkTest, MalformedOrForeignChunksChangeNothing) {
    mPlug->GetParam(kGain)->Set(3.0);
    auto chunk = Save();
    mPlug->GetParam(kGain)->Set(-1.0);
    const auto before = Values();
    const uint32_t counter = mInstance->GetStateChangeCounter();

    EXPECT_EQ(mProcess->SetChunk(FourCharCode("XXXX"), chunk.data(), static_cast<int32_t>(chunk.size())),
              kChunkRangeErr);
    // Shorter than the header.
    EXPECT_EQ(mProcess->SetChunk(kID, chunk.data(), 55), kChunkRangeErr);
    EXPECT_EQ(mProcess->SetChunk(kID, nullptr, 0), kChunkRangeErr);
    // Size field disagreeing with the bytes given, both ways.
    EXPECT_EQ(mProcess->SetChunk(kID, chunk.data(), static_cast<int32_t>(chunk.size()) - 8), kChunkRangeErr);
    WriteChunkField(chunk.data(), 0, static_cast<int32_t>(chunk.size()) + 100);
    EXPECT_EQ(mProcess->SetChunk(kID, chunk.data(), static_cast<int32_t>(chunk.size())), kChunkRangeErr);

    EXPECT_EQ(Values(), before);
    EXPECT_EQ(mInstance->GetStateChangeCounter(), counter);
}

TEST_F(ChunkTest, HeaderOnlyChunkIsAcceptedAsAnEmptyState) {
    std::vector<unsigned char> chunk(56, 0);
    WriteChunkField(chunk.data(), 0, 56);
    WriteChunkField(chunk.data(), 20, static_cast<int32_t>(kID));
    EXPECT_EQ(mInstance->RestoreChunk(chunk), kNoErr);
    // The first missing value becomes 0.0 clamped; the parameter reactions still run.
    EXPECT_EQ(mPlug->GetParam(kPower)->Value(), 0.0);
}

TEST_F(ChunkTest, CompareDetectsChangesAndRefusesForeignChunks) {
    auto chunk = Save();
    bool equal = false;
    EXPECT_EQ(mInstance->CompareChunk(chunk, &equal), kNoErr);
    EXPECT_TRUE(equal);
    mPlug->GetParam(kGain)->Set(1.0);
    EXPECT_EQ(mInstance->CompareChunk(chunk, &equal), kNoErr);
    EXPECT_FALSE(equal);

    WriteChunkField(chunk.data(), 20, static_cast<int32_t>(FourCharCode("XXXX")));
    EXPECT_EQ(mInstance->CompareChunk(chunk, &equal), kChunkRangeErr);
    EXPECT_EQ(mInstance->CompareChunk(std::vector<unsigned char>(10), &equal), kChunkRangeErr);
}

TEST_F(ChunkTest, CompareOfATruncatedChunkIsNotEqualAndStaysInsideIt) {
    const auto chunk = Save();
    // Exactly sized copies, so a read past the end is caught by the address sanitizer.
    for (size_t cut : {size_t{24}, size_t{56}, chunk.size() - 1}) {
        std::vector<unsigned char> truncated(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(cut));
        bool equal = true;
        EXPECT_EQ(mInstance->CompareChunk(truncated, &equal), kNoErr) << cut;
        EXPECT_FALSE(equal) << cut;
    }
}

}  // namespace
