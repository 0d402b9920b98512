package com.vantrel.runtime.launcher;

/**
 * Asked by the native launcher before an installer starts, when the application directory
 * holds the first-run marker. Returning false would stop the start; nothing needs doing on a
 * first run here, so the installer always goes on.
 */
public final class FirstRun {
  private FirstRun() {}

  public static boolean firstRun() {
    return true;
  }
}
