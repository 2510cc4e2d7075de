unit Spare;

interface

procedure Nothing;

implementation

procedure Nothing;
begin
end;

end.
