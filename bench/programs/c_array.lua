local a = {}
local i = 0
while i < 1000000 do
  a[i] = i - (i // 1000) * 1000
  i = i + 1
end
i = 0
local s = 0
while i < 1000000 do
  s = s + a[i]
  i = i + 1
end
print(s)
