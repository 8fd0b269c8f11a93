// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/platform/wave_test_records.h"
#include "platform/mm/mmsystem.h"
#include "tests/platform/wave_test_clock.h"

namespace {

using wavetest::DeviceTime;
using wavetest::MessageLog;
using wavetest::Ms;

using wavetest::Buffer;
using wavetest::kWindowFlags;
using wavetest::Pcm;

TEST(WaveApi, OpenChecksArgumentsFormatAndSharing) {
  DeviceTime time;
  MessageLog win(time);
  WAVEFORMATEX f = Pcm(2, 44100, 16);
  HWAVEIN in = nullptr;
  WAVEFORMATEX bad = f;
  bad.nBlockAlign = 3;
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &bad, win.Handle(), 0, kWindowFlags), WAVERR_BADFORMAT);
  bad = Pcm(2, 44100, 24);
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &bad, win.Handle(), 0, kWindowFlags), WAVERR_BADFORMAT);
  bad = Pcm(1, 0, 16);
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &bad, win.Handle(), 0, kWindowFlags), WAVERR_BADFORMAT);
  EXPECT_EQ(waveInOpen(&in, 1, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveInOpen(&in, 0, &f, win.Handle(), 0, 0x00030000), MMSYSERR_INVALFLAG);
  EXPECT_EQ(waveInOpen(&in, 0, &f, 0, 0, kWindowFlags), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInOpen(&in, 0, nullptr, win.Handle(), 0, kWindowFlags), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInOpen(nullptr, 0, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(platform::WaveDir::In));

  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  HWAVEIN second = nullptr;
  EXPECT_EQ(waveInOpen(&second, 0, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_ALLOCATED);
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(out), reinterpret_cast<std::uintptr_t>(in));
  // A handle of one direction is not one of the other.
  EXPECT_EQ(waveInStart(reinterpret_cast<HWAVEIN>(out)), MMSYSERR_INVALHANDLE);

  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInStart(in), MMSYSERR_INVALHANDLE);
  HWAVEIN again = nullptr;
  ASSERT_EQ(waveInOpen(&again, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  EXPECT_NE(again, in) << "handles are never reused";
  waveInClose(again);

  time.RunFor(Ms(1));
  std::vector<UINT> msgs;
  for (const auto& e : win.log) msgs.push_back(e.msg);
  EXPECT_EQ(msgs, (std::vector<UINT>{MM_WIM_OPEN, MM_WOM_OPEN, MM_WIM_CLOSE, MM_WOM_CLOSE, MM_WIM_OPEN,
                                     MM_WIM_CLOSE}));
  EXPECT_EQ(win.log[0].wparam, reinterpret_cast<WPARAM>(in));
}

TEST(WaveApi, HeaderStatesAreEnforced) {
  DeviceTime time;
  MessageLog win(time);
  WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEIN in = nullptr;
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  Buffer a(882), b(882);
  EXPECT_EQ(waveInAddBuffer(in, &a.hdr, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  EXPECT_EQ(waveInPrepareHeader(in, &a.hdr, 32), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInPrepareHeader(in, nullptr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
  ASSERT_EQ(waveInPrepareHeader(in, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInPrepareHeader(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_TRUE(a.hdr.dwFlags & WHDR_PREPARED);
  ASSERT_EQ(waveInAddBuffer(in, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_TRUE(a.hdr.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(waveInAddBuffer(in, &a.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInUnprepareHeader(in, &a.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInClose(in), WAVERR_STILLPLAYING);

  // Reset hands back every queued buffer, each with its own message.
  EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_EQ(a.hdr.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(b.hdr.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(a.hdr.dwBytesRecorded, 0u) << "never started";
  EXPECT_EQ(waveInUnprepareHeader(in, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_FALSE(a.hdr.dwFlags & WHDR_PREPARED);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  time.RunFor(Ms(1));
  ASSERT_EQ(win.Count(MM_WIM_DATA), 2);
  EXPECT_EQ(win.log[1].lparam, reinterpret_cast<LPARAM>(&a.hdr));
  EXPECT_EQ(win.log[2].lparam, reinterpret_cast<LPARAM>(&b.hdr));

  // The same rules on the output side.
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  a.hdr.dwFlags = 0;
  EXPECT_EQ(waveOutWrite(out, &a.hdr, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  ASSERT_EQ(waveOutPrepareHeader(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutWrite(out, &a.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutClose(out), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
  EXPECT_TRUE(a.hdr.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  time.RunFor(Ms(1));
  EXPECT_EQ(win.Count(MM_WOM_DONE), 1);
}

TEST(WaveApi, ErrorTextsAreDistinctAndTruncated) {
  std::set<std::string> texts;
  const MMRESULT codes[] = {MMSYSERR_ERROR,      MMSYSERR_BADDEVICEID, MMSYSERR_NOTENABLED,
                            MMSYSERR_ALLOCATED,  MMSYSERR_INVALHANDLE, MMSYSERR_NODRIVER,
                            MMSYSERR_NOMEM,      MMSYSERR_NOTSUPPORTED, MMSYSERR_BADERRNUM,
                            MMSYSERR_INVALFLAG,  MMSYSERR_INVALPARAM,  WAVERR_BADFORMAT,
                            WAVERR_STILLPLAYING, WAVERR_UNPREPARED,    WAVERR_SYNC};
  for (MMRESULT c : codes) {
    char in[MAXERRORLENGTH], out[MAXERRORLENGTH];
    ASSERT_EQ(waveInGetErrorTextA(c, in, MAXERRORLENGTH), MMSYSERR_NOERROR) << c;
    ASSERT_EQ(waveOutGetErrorTextA(c, out, MAXERRORLENGTH), MMSYSERR_NOERROR) << c;
    EXPECT_STREQ(in, out);
    EXPECT_GT(std::strlen(in), 10u);
    texts.insert(in);
  }
  EXPECT_EQ(texts.size(), std::size(codes));
  char small[8];
  EXPECT_EQ(waveInGetErrorTextA(MMSYSERR_NODRIVER, small, sizeof small), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(small), std::string(platform::WaveErrorText(MMSYSERR_NODRIVER)).substr(0, 7));
  char unknown[MAXERRORLENGTH];
  EXPECT_EQ(waveInGetErrorTextA(999, unknown, MAXERRORLENGTH), MMSYSERR_BADERRNUM);
  EXPECT_GT(std::strlen(unknown), 0u);
  EXPECT_EQ(waveOutGetErrorTextA(MMSYSERR_ERROR, nullptr, 10), MMSYSERR_INVALPARAM);
}

}  // namespace
