unit Exemplo;
interface
uses Windows, SysUtils;
var
  Total: Integer;
implementation
uses Classes;
procedure Soma(A: Integer);
var
  I: Integer;
begin
  for I := 1 to A do
    Total := Total + I;
end;
end.
