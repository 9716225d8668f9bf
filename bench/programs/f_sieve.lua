local n = 2000000
local p = {}
local i = 2
while i <= n do p[i] = 1; i = i + 1 end
i = 2
while i * i <= n do
  if p[i] ~= 0 then
    local j = i * i
    while j <= n do p[j] = 0; j = j + i end
  end
  i = i + 1
end
local c = 0
i = 2
while i <= n do c = c + p[i]; i = i + 1 end
print(c)
