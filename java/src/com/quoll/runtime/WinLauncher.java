package com.quoll.runtime;

import com.vantrel.runtime.launcher.Launch;

/** The class the native launcher calls for plain applications. */
public final class WinLauncher {
  private WinLauncher() {}

  public static void main(String[] args) throws Throwable {
    Launch.run(args);
  }
}
