# Removes Bob's ‘Q’ App silently with the uninstaller its installer left behind. Written by plovepack.
$ErrorActionPreference = 'Stop'

$productName = 'Bob''s ‘‘Q’’ App'
# The installer keeps its entry in the 32-bit registry view, which is
# WOW6432Node on 64-bit Windows.
$entry = @(
  "HKLM:\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\$productName",
  "HKLM:\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\$productName"
) | Where-Object { Test-Path -LiteralPath $_ } | Select-Object -First 1
if (-not $entry) {
  Write-Warning "$productName is not installed: there is no uninstall entry for it."
  return
}
$command = (Get-ItemProperty -LiteralPath $entry).QuietUninstallString
# "C:\...\Uninstall-Name.exe" --silent --noautoreboot --uninstall="C:\...\PloveUninstall-Name.dat"
if ($command -notmatch '^\s*"([^"]+)"\s*(.*)$') {
  throw "The uninstall entry of $productName has no QuietUninstallString to run."
}

$packageArgs = @{
  packageName    = $env:ChocolateyPackageName
  fileType       = 'exe'
  file           = $Matches[1]
  silentArgs     = $Matches[2]
  validExitCodes = @(0, 3010, 1641)
}
Uninstall-ChocolateyPackage @packageArgs
