# Installs Bob's ‘Q’ App 1.0.0 silently with its own installer. Written by plovepack.
$ErrorActionPreference = 'Stop'
$toolsDir = Split-Path -Parent $MyInvocation.MyCommand.Definition

$packageArgs = @{
  packageName    = $env:ChocolateyPackageName
  fileType       = 'exe'
  file           = Join-Path $toolsDir 'bob-setup-1.0.0.exe'
  silentArgs     = '--silent --noautoreboot'
  validExitCodes = @(0, 3010, 1641)
}
Install-ChocolateyInstallPackage @packageArgs
