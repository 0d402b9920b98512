package com.vantrel.runtime.launcher;

/** The class the native launcher calls for installers. */
public final class WinLauncher {
  private WinLauncher() {}

  public static void main(String[] args) throws Throwable {
    Launch.run(args);
  }
}
