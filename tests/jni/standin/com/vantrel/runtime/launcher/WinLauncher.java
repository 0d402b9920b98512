package com.vantrel.runtime.launcher;

public final class WinLauncher {
  private WinLauncher() {}

  public static void main(String[] args) throws Exception {
    jvmtest.Recorder.record(WinLauncher.class.getName(), args);
  }
}
