local s = ""
local i = 0
while i < 20000 do
  s = s .. string.char(97 + i - (i // 26) * 26)
  i = i + 1
end
local alphabet = "abcdefghijklmnopqrstuvwxyz"
local n = 0
i = 0
while i < 20000 do
  n = n + (string.find(alphabet, string.sub(s, i + 1, i + 1), 1, true) - 1)
  i = i + 1
end
print(n)
