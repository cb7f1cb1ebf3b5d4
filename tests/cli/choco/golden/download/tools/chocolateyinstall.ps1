# Installs CLI Demo silently with its own installer. Written by plovepack.
$ErrorActionPreference = 'Stop'

$packageArgs = @{
  packageName    = $env:ChocolateyPackageName
  fileType       = 'exe'
  url            = 'https://downloads.example/demo-setup.exe'
  checksum       = '<SHA256>'
  checksumType   = 'sha256'
  silentArgs     = '--silent --noautoreboot'
  validExitCodes = @(0, 3010, 1641)
}
Install-ChocolateyPackage @packageArgs
