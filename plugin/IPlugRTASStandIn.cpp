// Stand-in for the host adapter's plug-in base while the adapter is not built: no host, no process.
// Compiled only when host/rtas provides no implementation of IPlugRTAS.

#include "host/rtas/IPlugRTAS.h"

IPlugRTAS::IPlugRTAS(IPlugInstanceInfo, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                     int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                     bool plugIsInstrument, int plugSideChainChannels)
  : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID, mfrID,
              latency, plugDoesMidi, plugDoesChunks, plugIsInstrument, kAPIRTAS)
  , mHasSideChain(plugSideChainChannels > 0)
  , mAnnouncedParams(nParams)
{
  SetInputChannelConnections(0, NInChannels(), true);
  SetOutputChannelConnections(0, NOutChannels(), true);
  SetBlockSize(1024);
}

IPlugRTAS::~IPlugRTAS() = default;

void IPlugRTAS::Created(IPlugProcess* process)
{
  mProcess = process;
  PruneUninitializedPresets();
}

void IPlugRTAS::ProcessAudio(float** inputs, float** outputs, int nFrames)
{
  WDL_MutexLock lock(GetMutex());
  AttachInputBuffers(0, NInChannels(), inputs, nFrames);
  AttachOutputBuffers(0, NOutChannels(), outputs);
  ProcessBuffers(0.0f, nFrames);
}

void IPlugRTAS::ProcessAudioBypassed(float** inputs, float** outputs, int nFrames)
{
  WDL_MutexLock lock(GetMutex());
  AttachInputBuffers(0, NInChannels(), inputs, nFrames);
  AttachOutputBuffers(0, NOutChannels(), outputs);
  PassThroughBuffers(0.0f, nFrames);
}

void IPlugRTAS::SetIO(int nInputs, int nOutputs)
{
  SetInputChannelConnections(0, nInputs, true);
  SetInputChannelConnections(nInputs, NInChannels() - nInputs, false);
  SetOutputChannelConnections(0, nOutputs, true);
  SetOutputChannelConnections(nOutputs, NOutChannels() - nOutputs, false);
}

void IPlugRTAS::SetParameter(int) {}
void IPlugRTAS::SetSideChainConnected(bool connected) { mSideChainConnected = connected; }
void IPlugRTAS::BeginInformHostOfParamChange(int) {}
void IPlugRTAS::InformHostOfParamChange(int, double) {}
void IPlugRTAS::EndInformHostOfParamChange(int) {}
void IPlugRTAS::InformHostOfProgramChange() {}
double IPlugRTAS::GetSamplePos() { return 0.0; }
double IPlugRTAS::GetTempo() { return 0.0; }
void IPlugRTAS::GetTimeSig(int* pNum, int* pDenom)
{
  if (pNum) *pNum = 4;
  if (pDenom) *pDenom = 4;
}
void IPlugRTAS::GetTime(ITimeInfo*) {}
int IPlugRTAS::GetHost() { return IPlugBase::GetHost(); }
void IPlugRTAS::ResizeGraphics(int, int) {}
bool IPlugRTAS::SendMidiMsg(IMidiMsg*) { return false; }
void IPlugRTAS::DirtyPTCompareState() {}
